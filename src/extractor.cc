// Extracting one archive: its directory, its image files, its console line.
#include "extractor.h"

#include <cerrno>
#include <vector>

#include "console.h"
#include "copy.h"
#include "platform.h"
#include "reader.h"

namespace {

// The directories that archives of this run were extracted into.  Two
// names can lead to one directory (names that differ in case only on a
// file system that ignores case, a link, names that Windows trims): the
// second archive would overwrite the first one's images.
std::vector<directory_id> used_directories;

// Writes every image entry of |archive| into the current directory.
// |shown| is the archive's name as the console shows it.  Returns 0 at the
// end of the image area, or 1 with errno set.
int extract_images(archive_stream *archive, const char *shown, FILE *console) {
  for (long number = 0;; number++) {
    int32_t length = read_entry_length(archive);
    // Nothing to copy in an entry of zero or fewer bytes, and the next
    // entry would be this one again: the image area ends here.
    if (length <= 0)
      break;
    char file_name[32];
    snprintf(file_name, sizeof file_name, "%08ld.BMP", number);
    // On a failure the run ends, and the exit closes the file.
    int fd = create_image_file(file_name);
    if (fd < 0 || copy_entry(archive, fd, length) != 0 || close_file(fd) != 0)
      return 1;
    const char *plural = number > 0 ? "s" : "";
    console_printf(console, "\rTraitement de %-13s...%3ld fichier%s extrait%s.",
                   shown, number + 1, plural, plural);
  }
  // A read error that ended the image area is a failure, not its end.
  return archive_error(archive);
}

// Makes the current directory one that no earlier archive of the run was
// extracted into, and notes it.  Returns 0, or 1 with errno set (EEXIST
// for a directory already used).
int claim_current_directory() {
  directory_id here;
  if (current_directory_id(&here) != 0)
    return 1;
  for (const directory_id &used : used_directories) {
    if (used.volume == here.volume && used.file == here.file) {
      errno = EEXIST;
      return 1;
    }
  }
  used_directories.push_back(here);
  return 0;
}

// Extracts the images of the open |archive|, or rejects it.  Returns 0, or
// 1 with errno set.
int extract_open_archive(archive_stream *archive, const char *name,
                         const char *shown, FILE *console) {
  if (verify_archive(archive) != 0) {
    // A read error at the signature is not a verdict on the format.
    if (archive_error(archive))
      return 1;
    console_printf(console, "Format de fichier incorrect.");
    return 0;
  }
  // The folder may well exist from a former run.  When it can be neither
  // made nor entered, why it could not be made is the answer a user needs
  // ("Permission denied", not that it is missing).
  std::string directory = archive_directory_name(name);
  int why_not = make_directory(directory.c_str()) != 0 ? errno : 0;
  if (enter_directory(directory.c_str()) != 0) {
    if (why_not != 0 && why_not != EEXIST)
      errno = why_not;
    return 1;
  }
  if (claim_current_directory() != 0)
    return 1;
  if (extract_images(archive, shown, console) != 0)
    return 1;
  return leave_directory() != 0;
}

}  // namespace

void begin_run() {
  used_directories.clear();
}

std::string archive_directory_name(const std::string &name) {
  std::string base = name.substr(0, name.rfind('.'));
  return base == "." || base == ".." ? std::string() : base;
}

int extract_archive(const char *name, FILE *console) {
  std::string shown = console_name(console, name);
  archive_stream archive;
  int opened = archive_open(&archive, name);
  console_printf(console, "\nTraitement de %-13s...", shown.c_str());
  // On a failure the run ends, and the exit closes the archive.
  if (opened != 0 ||
      extract_open_archive(&archive, name, shown.c_str(), console) != 0)
    return 1;
  return archive_close(&archive) != 0;
}
