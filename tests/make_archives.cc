// Makes synthetic IXF archives: a sample folder to try veldor on, or one
// archive of many equal images for the benchmark.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archives.h"

namespace {

// One archive of |count| images of |width| x |height|, written one image
// at a time, so that it may be far larger than memory.
int write_uniform(const char *path, long count, int32_t width, int32_t height) {
  FILE *out = fopen(path, "wb");
  bool failed = !out || fwrite(make_archive({}).data(), 1, prefix_size, out) != prefix_size;
  for (long i = 0; i < count && !failed; i++) {
    std::string image = make_image(width, height, unsigned(i));
    failed = fwrite(image.data(), 1, image.size(), out) != image.size();
  }
  if (failed || fclose(out) != 0) {
    perror(path);
    return 1;
  }
  return 0;
}

// A few archives of the kinds a player's folder holds, and one that is not.
int write_sample(const std::string &folder) {
  std::error_code ignored;  // it may exist already
  std::filesystem::create_directory(folder, ignored);
  std::vector<std::string> city, icons;
  for (unsigned i = 0; i < 3; i++)
    city.push_back(make_image(64 * int32_t(i + 1), 48, i));
  for (unsigned i = 0; i < 12; i++)
    icons.push_back(make_image(16, 16, i));
  if (save_file(folder + "/CITY.IXF", make_archive(city)) != 0 ||
      save_file(folder + "/icons.ixf", make_archive(icons)) != 0 ||
      save_file(folder + "/TERRAIN_TEXTURES.IXF",
                 make_archive({make_image(256, 256, 7)})) != 0 ||
      save_file(folder + "/NOTES.IXF", "Not an archive, only its name.\n")) {
    perror(folder.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 3 && std::string(argv[1]) == "sample")
    return write_sample(argv[2]);
  if (argc == 5)
    return write_uniform(argv[1], atol(argv[2]), atoi(argv[3]), atoi(argv[4]));
  fprintf(stderr,
          "usage: make_archives sample FOLDER\n"
          "       make_archives ARCHIVE COUNT WIDTH HEIGHT\n");
  return 2;
}
