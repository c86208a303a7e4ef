// Synthetic archives.
#include "archive_writer.h"

#include <cstring>

#include <filesystem>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <winioctl.h>
#endif

namespace {

// Opens file |path|, named in UTF-8 on every platform.
FILE *open_file(const std::string &path, const char *mode) {
#ifdef _WIN32
  std::wstring wide_mode(mode, mode + strlen(mode));
  return _wfopen(std::filesystem::u8path(path).c_str(), wide_mode.c_str());
#else
  return fopen(path.c_str(), mode);
#endif
}

}  // namespace

namespace {

void put16(std::string *s, uint32_t v) {
  s->push_back(char(v & 0xFF));
  s->push_back(char(v >> 8 & 0xFF));
}

void put32(std::string *s, uint32_t v) {
  put16(s, v & 0xFFFF);
  put16(s, v >> 16);
}

}  // namespace

std::string entry_header(int32_t width, int32_t height) {
  std::string h = "BM";
  h.append(16, '\x11');
  put32(&h, uint32_t(width));
  put32(&h, uint32_t(height));
  return h;
}

std::string make_image(int32_t width, int32_t height, unsigned seed) {
  uint32_t pixel_bytes = uint32_t(width) * uint32_t(height) * 3;
  std::string s = "BM";
  put32(&s, 54 + pixel_bytes + 2);  // file size
  put32(&s, 0);                     // reserved
  put32(&s, 54);                    // offset of the pixels
  put32(&s, 40);                    // size of the information header
  put32(&s, uint32_t(width));
  put32(&s, uint32_t(height));
  put16(&s, 1);   // planes
  put16(&s, 24);  // bits per pixel
  put32(&s, 0);   // no compression
  put32(&s, pixel_bytes);
  put32(&s, 2835);  // 72 dots per inch
  put32(&s, 2835);
  put32(&s, 0);
  put32(&s, 0);
  s.reserve(s.size() + pixel_bytes + 2);
  for (uint32_t i = 0; i < pixel_bytes; i++)
    s.push_back(char((i * 31 + seed * 7 + i / 97) & 0xFF));
  s.append(2, '\0');
  return s;
}

std::string make_archive(const std::vector<std::string> &images) {
  std::string s(prefix_size, '\0');
  for (const std::string &image : images)
    s += image;
  return s;
}

int write_archive(FILE *out, long count, int32_t width, int32_t height) {
  std::string prefix(prefix_size, '\0');
  if (fwrite(prefix.data(), 1, prefix.size(), out) != prefix.size())
    return -1;
  for (long i = 0; i < count; i++) {
    std::string image = make_image(width, height, unsigned(i));
    if (fwrite(image.data(), 1, image.size(), out) != image.size())
      return -1;
  }
  return 0;
}

int write_file(const std::string &path, const std::string &bytes) {
  FILE *f = open_file(path, "wb");
  if (!f)
    return -1;
  size_t n = fwrite(bytes.data(), 1, bytes.size(), f);
  if (fclose(f) != 0 || n != bytes.size())
    return -1;
  return 0;
}

int write_sparse_file(const std::string &path, int64_t offset,
                      const std::string &bytes) {
  FILE *f = open_file(path, "wb");
  if (!f)
    return -1;
#ifdef _WIN32
  // NTFS writes the zeros out unless told otherwise.
  DWORD ignored;
  DeviceIoControl(HANDLE(_get_osfhandle(_fileno(f))), FSCTL_SET_SPARSE,
                  nullptr, 0, nullptr, 0, &ignored, nullptr);
  int sought = _fseeki64(f, offset, SEEK_SET);
#else
  int sought = fseeko(f, off_t(offset), SEEK_SET);
#endif
  size_t n = sought == 0 ? fwrite(bytes.data(), 1, bytes.size(), f) : 0;
  if (fclose(f) != 0 || n != bytes.size())
    return -1;
  return 0;
}

std::string read_file(const std::string &path) {
  FILE *f = open_file(path, "rb");
  if (!f)
    return "<missing>";
  std::string s;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0)
    s.append(buf, n);
  fclose(f);
  return s;
}
