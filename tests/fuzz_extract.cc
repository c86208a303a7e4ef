// libFuzzer target: arbitrary bytes as an archive, through the reader and
// the extractor, in a folder of the fuzzer's own.  Whatever the input, the
// extraction must end, succeed, and write no more than the archive holds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "archives.h"
#include "extractor.h"

namespace fs = std::filesystem;

namespace {

// The fuzzer's own folder, removed when the campaign ends.
std::string folder;

void remove_folder() {
  fs::current_path(fs::temp_directory_path());
  fs::remove_all(folder);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  folder = make_temp_dir();
  fs::current_path(folder);
  atexit(remove_folder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // An odd first byte gives the bytes as they are; an even one puts them
  // after the prefix, where the images are, so that the fuzzer need not
  // learn 20 KB of prefix to get there.
  std::string bytes;
  if (size > 0 && data[0] % 2 == 0)
    bytes.assign(prefix_size, '\0');
  if (size > 0)
    bytes.append(reinterpret_cast<const char *>(data) + 1, size - 1);
  if (save_file("F.IXF", bytes) != 0)
    abort();

  static FILE *console = fopen("/dev/null", "wb");
  begin_run();  // each input is a run of its own
  if (extract_archive("F.IXF", console) != 0) {
    perror("extract_archive");
    abort();
  }
  uintmax_t written = 0;
  if (fs::exists("F"))
    for (const fs::directory_entry &image : fs::directory_iterator("F"))
      written += image.file_size();
  if (written > bytes.size())
    abort();
  fs::remove_all("F");
  return 0;
}
