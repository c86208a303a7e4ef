// Synthetic IXF archives of real 24-bit BMP images, for the tests, the
// sample folder and the benchmark, and the files they are written to.
#ifndef VELDOR_TESTS_ARCHIVES_H_
#define VELDOR_TESTS_ARCHIVES_H_

#include <cstdint>
#include <string>
#include <vector>

/// Size of the prefix before the first image.
const size_t prefix_size = 0x5004;

/// A 24-bit BMP image as archives store it: the 54-byte header, width x
/// height pixels of 3 bytes with a pattern drawn from |seed|, and two pad
/// bytes; width x height x 3 + 56 bytes in all.  Rows carry no padding, so
/// real images have widths that are multiples of 4.
std::string make_image(int32_t width, int32_t height, unsigned seed);

/// Only the 26 bytes that give an entry its length: "BM", 16 bytes, width,
/// height.  For forged entries.
std::string entry_header(int32_t width, int32_t height);

/// A prefix of zeros followed by |images| back to back.
std::string make_archive(const std::vector<std::string> &images);

/// Writes |bytes| to a new file |path| (UTF-8, as every path here), after
/// |offset| bytes that take no room on the disk.  Returns 0, or -1.
int save_file(const std::string &path, const std::string &bytes,
              int64_t offset = 0);

/// The whole content of file |path|, or "<missing>" when it cannot be read.
std::string load_file(const std::string &path);

/// A new empty folder under the system's temporary folder.
std::string make_temp_dir();

#endif  // VELDOR_TESTS_ARCHIVES_H_
