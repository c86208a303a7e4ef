// Extracting one archive: its directory, its image files, its console line.
#include "extractor.h"

#include <cerrno>
#include <charconv>
#include <vector>

#include "console.h"
#include "filesys.h"
#include "image.h"
#include "layout.h"
#include "stream.h"
#include "terminal.h"

namespace {

// The directories that archives of this run were extracted into.  Two
// names can lead to one directory (names that differ in case only on a
// file system that ignores case, a link, names that Windows trims): the
// second archive would overwrite the first one's images.
std::vector<file_id> used_directories;

// Appends |n| to |out| as "%3ld" or, |width| 8 and zeros, "%08ld" would:
// printf's cost would be most of the work for an archive of tiny images.
void append_number(std::string *out, long n, int width, char fill) {
  char digits[24];
  char *end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  long pad = width - long(end - digits);
  if (pad > 0)
    out->append(size_t(pad), fill);
  out->append(digits, end);
}

// Writes every image entry of |archive| into the current directory,
// rewriting the console line |head| (the line up to the count) after
// each.  Returns 0 at the end of the image area, or 1 with errno set.
int extract_images(archive_stream *archive, const std::string &head,
                   FILE *console) {
  // Each count makes the line "\rTraitement de %-13s...%3ld fichier%s
  // extrait%s."; all but the count is made once.
  std::string one, many;
  console_format(console, &one, " fichier%s extrait%s.", "", "");
  console_format(console, &many, " fichier%s extrait%s.", "s", "s");
  std::string line = head, file_name;
  for (long number = 0;; number++) {
    int32_t length = read_entry_length(archive);
    // Nothing to copy in an entry of zero or fewer bytes, and the next
    // entry would be this one again: the image area ends here.
    if (length <= 0)
      break;
    file_name.clear();
    append_number(&file_name, number, 8, '0');
    file_name += ".BMP";
    // On a failure the run ends, and the exit closes the file.
    fs_handle image = image_create(file_name.c_str(), *stream_file_id(archive));
    if (image < 0 || stream_copy(archive, image, length) != 0 ||
        fs_close(image) != 0)
      return 1;
    line.resize(head.size());
    append_number(&line, number + 1, 3, ' ');
    line += number > 0 ? many : one;
    console_write(console, line);
  }
  // A read error that ended the image area is a failure, not its end.
  return stream_error(archive);
}

// Makes the current directory one that no earlier archive of the run was
// extracted into, and notes it.  Returns 0, or 1 with errno set (EEXIST
// for a directory already used).
int claim_current_directory() {
  file_id here;
  if (fs_directory_id(&here) != 0)
    return 1;
  for (const file_id &used : used_directories) {
    if (fs_same_file(used, here)) {
      errno = EEXIST;
      return 1;
    }
  }
  used_directories.push_back(here);
  return 0;
}

// Extracts the images of the open |archive|, or rejects it, |head| being
// its console line up to the count.  Returns 0, or 1 with errno set.
int extract_open_archive(archive_stream *archive, const char *name,
                         const std::string &head, FILE *console) {
  if (verify_archive(archive) != 0) {
    // A read error at the signature is not a verdict on the format.
    if (stream_error(archive))
      return 1;
    console_printf(console, "Format de fichier incorrect.");
    return 0;
  }
  // The folder may well exist from a former run.  When it can be neither
  // made nor entered, why it could not be made is the answer a user needs
  // ("Permission denied", not that it is missing).
  std::string directory = archive_directory_name(name);
  int why_not = fs_make_directory(directory.c_str()) != 0 ? errno : 0;
  if (fs_enter_directory(directory.c_str()) != 0) {
    if (why_not != 0 && why_not != EEXIST)
      errno = why_not;
    return 1;
  }
  if (claim_current_directory() != 0)
    return 1;
  if (extract_images(archive, head, console) != 0)
    return 1;
  return fs_leave_directory() != 0;
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
  std::string shown = term_name(console, name, 13);
  archive_stream archive;
  int opened = stream_open(&archive, name);
  console_printf(console, "\nTraitement de %-13s...", shown.c_str());
  std::string head;
  console_format(console, &head, "\rTraitement de %-13s...", shown.c_str());
  // On a failure the run ends, and the exit closes the archive.
  if (opened != 0 ||
      extract_open_archive(&archive, name, head, console) != 0)
    return 1;
  return stream_close(&archive) != 0;
}
