# Installing, and the release packages: a .deb on Linux, a .zip on Windows.
# Packages hold stripped programs.
include(GNUInstallDirs)
set(CPACK_STRIP_FILES ON)

# Packages are the same bytes whoever builds them, wherever and whenever:
# every time in them is the commit's (or SOURCE_DATE_EPOCH, as distributions
# set it; a fixed date outside git).  cmake/release packs them under one
# umask.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(release_time $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                  OUTPUT_VARIABLE release_time ERROR_QUIET
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT release_time MATCHES "^[0-9]+$")
    set(release_time 1767225600)  # 2026-01-01 00:00 UTC
  endif()
endif()
configure_file(cmake/cpack-time.cmake.in ${CMAKE_BINARY_DIR}/cpack-time.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/cpack-time.cmake)
if(WIN32)
  # Text files that Notepad opens with a double click: .txt, CR LF.  The
  # players' README, not the developers'.
  foreach(doc doc/README-windows.txt:README.txt LICENSE:LICENSE.txt)
    string(REPLACE ":" ";" doc ${doc})
    list(GET doc 0 source)
    list(GET doc 1 target)
    file(READ ${CMAKE_SOURCE_DIR}/${source} text)
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${CMAKE_BINARY_DIR}/doc/${target} "${text}")
    install(FILES ${CMAKE_BINARY_DIR}/doc/${target} DESTINATION .)
  endforeach()
  install(TARGETS veldor RUNTIME DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_SYSTEM_NAME win32)
  else()
    set(CPACK_SYSTEM_NAME win64)
  endif()
else()
  # The manual page and the changelog compressed as Debian wants them
  # (gzip -9n: no name, no time stamp, the same bytes on every build); the
  # licence in the machine-readable copyright format.
  add_custom_command(OUTPUT doc/veldor.1.gz doc/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory doc
    COMMAND gzip -9n < ${CMAKE_SOURCE_DIR}/doc/veldor.1 > doc/veldor.1.gz
    COMMAND gzip -9n < ${CMAKE_SOURCE_DIR}/CHANGELOG > doc/changelog.gz
    DEPENDS doc/veldor.1 CHANGELOG
    COMMENT "Compressing the manual page and the changelog")
  add_custom_target(docs ALL DEPENDS doc/veldor.1.gz doc/changelog.gz)
  file(STRINGS ${CMAKE_SOURCE_DIR}/LICENSE license_lines)
  set(copyright "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
                "Upstream-Name: veldor\n\n"
                "Files: *\nCopyright: 2026 the veldor authors\nLicense: Expat\n")
  foreach(line IN LISTS license_lines)
    if(line STREQUAL "")
      string(APPEND copyright " .\n")
    else()
      string(APPEND copyright " ${line}\n")
    endif()
  endforeach()
  string(REPLACE ";" "" copyright "${copyright}")
  file(WRITE ${CMAKE_BINARY_DIR}/doc/copyright "${copyright}")

  install(TARGETS veldor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Stripped (by cpack, or cmake --install --strip), the program loses the
  # compilers' version notes too, as Debian's own programs do.
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/veldor\")
  endif()")
  install(FILES ${CMAKE_BINARY_DIR}/doc/veldor.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${CMAKE_BINARY_DIR}/doc/copyright ${CMAKE_BINARY_DIR}/doc/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian)

  # The archive for distributions without .deb, in packages/: the .deb's
  # program, its manual page, the README and the LICENSE, as a prefix
  # (bin/, share/) under one folder.  Its members have the release time,
  # root as owner, modes without the builder's umask, and come in name
  # order, so one commit gives the same bytes.
  if(NOT VELDOR_ARCH)
    set(VELDOR_ARCH ${CMAKE_SYSTEM_PROCESSOR})
  endif()
  set(archive veldor-${PROJECT_VERSION}-linux-${VELDOR_ARCH})
  add_custom_target(archive
    COMMAND ${CMAKE_COMMAND} -E rm -rf archive
    COMMAND ${CMAKE_COMMAND} --install . --strip --component Unspecified
            --prefix archive/${archive}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/LICENSE
            archive/${archive}/${CMAKE_INSTALL_DOCDIR}/LICENSE
    COMMAND ${CMAKE_COMMAND} -E make_directory packages
    COMMAND sh -c "tar --format=gnu --sort=name --owner=0 --group=0 --numeric-owner \
                   --mtime=@${release_time} --mode=u+rwX,go+rX,go-w -C archive -cf - \
                   ${archive} | gzip -9n >packages/${archive}.tar.gz"
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS veldor docs
    COMMENT "Making packages/${archive}.tar.gz"
    VERBATIM)
  set(CPACK_GENERATOR DEB)
  # Cross-compiled: Debian's name of the architecture, which dpkg-shlibdeps
  # is also given (DEB_HOST_ARCH) to look among its libraries.
  if(VELDOR_DEB_ARCH)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${VELDOR_DEB_ARCH})
  endif()
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # Depends as dpkg-shlibdeps finds it in the program itself.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Follows the summary as the extended description.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Run in a folder of SimCity 3000 IXF archives, veldor makes one folder per
archive and copies every embedded bitmap image into it as 00000000.BMP,
00000001.BMP and so on, byte for byte, reporting in French as the original
DOS tool did.  Damaged or hostile archives are handled safely: no image
file gets more than the archive holds, and images are written only into
regular files, never through a link, FIFO or device in their place.")
endif()
set(CPACK_PACKAGE_NAME veldor)
set(CPACK_PACKAGE_VENDOR "the veldor authors")
# No public mail address or issue tracker exists, and none is made up.
set(CPACK_PACKAGE_CONTACT "the veldor authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "copies the bitmap images out of SimCity 3000 IXF archives")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
include(CPack)
