// The per-file floor: writes the images of a uniform archive as files
// 00000000.BMP, ... in folder OUT with nothing but open, write and close,
// from a mapping of the archive.  What veldor cannot beat.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: floor ARCHIVE OUT\n");
    return 2;
  }
  int in = open(argv[1], O_RDONLY);
  struct stat st;
  if (in < 0 || fstat(in, &st) != 0 || mkdir(argv[2], 0777) != 0 ||
      chdir(argv[2]) != 0) {
    perror(argv[1]);
    return 1;
  }
  const unsigned char *data = static_cast<const unsigned char *>(
      mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, in, 0));
  if (data == MAP_FAILED) {
    perror("mmap");
    return 1;
  }
  size_t at = 0x5004, size = size_t(st.st_size);
  for (long n = 0; at + 26 <= size && data[at] == 'B' && data[at + 1] == 'M'; n++) {
    uint32_t w, h;
    memcpy(&w, data + at + 18, 4);
    memcpy(&h, data + at + 22, 4);
    size_t length = w * h * 3 + 56;
    if (at + length > size)
      length = size - at;
    char name[32];
    snprintf(name, sizeof name, "%08ld.BMP", n);
    int out = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0 || write(out, data + at, length) != ssize_t(length) ||
        close(out) != 0) {
      perror(name);
      return 1;
    }
    at += length;
  }
  return 0;
}
