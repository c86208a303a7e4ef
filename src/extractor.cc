// Extracting one archive: its directory, its image files, its console line.
#include "extractor.h"

#include <cerrno>

#include "console.h"
#include "copy.h"
#include "platform.h"
#include "reader.h"

namespace {

// Writes every image entry of |archive| into the current directory.
// Returns 0 at the end of the image area, or 1 with errno set.
int extract_images(FILE *archive, const char *name, FILE *console) {
  for (long number = 0;; number++) {
    int32_t length = read_entry_length(archive);
    // Nothing to copy in an entry of zero or fewer bytes, and the next
    // entry would be this one again: the image area ends here.
    if (length <= 0)
      break;
    char file_name[32];
    snprintf(file_name, sizeof file_name, "%08ld.BMP", number);
    int fd = create_image_file(file_name);
    if (fd < 0)
      return 1;
    int copied = copy_entry(archive, fd, length);
    if (copied == copy_failed) {
      int saved = errno;
      close_image_file(fd);
      errno = saved;
      return 1;
    }
    if (close_image_file(fd) != 0)
      return 1;
    const char *plural = number > 0 ? "s" : "";
    console_printf(console, "\rTraitement de %-13s...%3ld fichier%s extrait%s.",
                   name, number + 1, plural, plural);
    if (copied == copy_cut_short)
      break;
  }
  // A read error that ended the image area is a failure, not its end.
  return ferror(archive) ? 1 : 0;
}

// Extracts the images of the open |archive|, or rejects it.  Returns 0, or
// 1 with errno set.
int extract_open_archive(FILE *archive, const char *name, FILE *console) {
  if (verify_archive(archive) != 0) {
    // A read error at the signature is not a verdict on the format.
    if (ferror(archive))
      return 1;
    console_printf(console, "Format de fichier incorrect.");
    return 0;
  }
  std::string directory = archive_directory_name(name);
  make_directory(directory.c_str());  // it may well exist from a former run
  if (enter_directory(directory.c_str()) != 0)
    return 1;
  if (extract_images(archive, name, console) != 0)
    return 1;
  return leave_directory() != 0 ? 1 : 0;
}

}  // namespace

std::string archive_directory_name(const std::string &name) {
  std::string base = name.substr(0, name.rfind('.'));
  return base == "." || base == ".." ? std::string() : base;
}

int extract_archive(const char *name, FILE *console) {
  FILE *archive = open_archive(name);
  console_printf(console, "\nTraitement de %-13s...", name);
  if (!archive)
    return 1;
  // A few small images per read, where the system's default block would
  // take two reads for each; large images bypass it.  (Given no buffer,
  // glibc would keep its own size.)
  static char buffer[64 * 1024];
  setvbuf(archive, buffer, _IOFBF, sizeof buffer);
  if (extract_open_archive(archive, name, console) != 0) {
    int saved = errno;
    fclose(archive);
    errno = saved;
    return 1;
  }
  return fclose(archive) != 0 ? 1 : 0;
}
