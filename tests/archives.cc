// Synthetic archives, and files named in UTF-8 on every platform.
#include "archives.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <winioctl.h>
#endif

namespace {

// Appends |v| as 4 bytes, little-endian.
void put32(std::string *s, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8)
    s->push_back(char(v >> shift & 0xFF));
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
  // File size, reserved, offset of the pixels, size of the information
  // header, width, height, 1 plane and 24 bits per pixel (16 bits each),
  // no compression, size of the pixels, 72 dots per inch across and down,
  // no palette.
  for (uint32_t v : {54 + pixel_bytes + 2, 0u, 54u, 40u, uint32_t(width),
                     uint32_t(height), 1u | 24u << 16, 0u, pixel_bytes, 2835u,
                     2835u, 0u, 0u})
    put32(&s, v);
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

int save_file(const std::string &path, const std::string &bytes,
              int64_t offset) {
#ifdef _WIN32
  FILE *f = _wfopen(std::filesystem::u8path(path).c_str(), L"wb");
  if (!f)
    return -1;
  // NTFS writes the zeros out unless told otherwise.
  DWORD ignored;
  if (offset > 0)
    DeviceIoControl(HANDLE(_get_osfhandle(_fileno(f))), FSCTL_SET_SPARSE,
                    nullptr, 0, nullptr, 0, &ignored, nullptr);
  int sought = _fseeki64(f, offset, SEEK_SET);
#else
  FILE *f = fopen(path.c_str(), "wb");
  if (!f)
    return -1;
  int sought = fseeko(f, off_t(offset), SEEK_SET);
#endif
  size_t n = sought == 0 ? fwrite(bytes.data(), 1, bytes.size(), f) : 0;
  if (fclose(f) != 0 || n != bytes.size())
    return -1;
  return 0;
}

std::string load_file(const std::string &path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

std::string make_temp_dir() {
  // A folder that exists already, another test's, is never taken.
  static std::mt19937_64 random{std::random_device()()};
  for (;;) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("veldor-test-" + std::to_string(random() % 1000000000));
    if (std::filesystem::create_directory(dir))
      return dir.u8string();
  }
}
