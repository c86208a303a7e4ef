# What the scripts share, stated once; sourced by cmake/release,
# cmake/old-root and tests/{run,install-deps,release-test,package-test,reproducible}.

# The Linux architectures of the release, a line each: the name of its
# programs (and of cmake/linux-NAME.cmake, its toolchain, but for the first,
# the build machine's own), Debian's name, the GNU triple of its compilers,
# CMake's processor, and the qemu-user that runs its programs here.
# cmake/linux-cross.cmake reads these lines too.
linux_architectures="
x86_64   amd64  x86_64-linux-gnu     x86_64   qemu-x86_64
aarch64  arm64  aarch64-linux-gnu    aarch64  qemu-aarch64
armhf    armhf  arm-linux-gnueabihf  arm      qemu-arm
"

# Runs "$1 NAME DEBIAN TRIPLE PROCESSOR QEMU TOOLCHAIN" for each one, or
# with $2 "cross" for each but the first, whose TOOLCHAIN is empty.
for_each_architecture() {
  echo "$linux_architectures" | awk -v cross="${2:-}" 'NF && (n++ || !cross) {
    print $0, (n > 1 ? "cmake/linux-" $1 ".cmake" : "") }' | while read -r name debian triple processor qemu toolchain; do
    "$1" "$name" "$debian" "$triple" "$processor" "$qemu" "${toolchain:-}" </dev/null || return 1
  done
}

# The version of the checkout at $1.
veldor_version() {
  sed -n 's/^project(veldor VERSION \([0-9.]*\).*/\1/p' "$1/CMakeLists.txt"
}

# Runs shell command $3 in old root $1 (cmake/old-root), in /src, which is
# folder $2 where one is given: in a mount namespace, as root or as the
# root of a user namespace, with only the release's environment.
in_old_root() {
  as_root=""
  [ "$(id -u)" = 0 ] || as_root="unshare --map-root-user"
  $as_root unshare -m sh -c '{ [ -z "$1" ] || mount --bind "$1" "$0/src"; } && exec chroot "$0" \
    /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TZ=UTC LC_ALL=C \
    SOURCE_DATE_EPOCH="$2" sh -c "umask 022 && cd /src && $3"' "$1" "$2" "${SOURCE_DATE_EPOCH:-0}" "$3"
}

# The libc6 version that the Depends of .deb $1 names.
depends_libc() {
  dpkg-deb -f "$1" Depends | sed -n 's/.*libc6 (>= \([0-9.]*\)).*/\1/p'
}

# The newest C library version that program $1 needs; a failure, said, if
# it is newer than a version after it (an empty one is none).
glibc_at_most() {
  newest=$(readelf --dyn-syms -W "$1" | grep -oE 'GLIBC_[0-9.]+' | sed 's/GLIBC_//' | sort -uV | tail -n 1)
  shift
  for most in "$@"; do
    most=${most:-$newest}
    [ "$(printf '%s\n' "$newest" "$most" | sort -V | tail -n 1)" = "$most" ] ||
      { echo "the program needs GLIBC_$newest, newer than $most" >&2; return 1; }
  done
  echo "$newest"
}

# lintian on .deb files $@: no error, no warning.  The project has no
# public mail address and invents none: the tags that ask for one pass.
lintian_check() {
  lintian --fail-on error,warning --display-info \
    --suppress-tags malformed-contact,bogus-mail-host-in-debian-changelog "$@"
}
