// Finding archives: the file system lists the plain files, this picks and
// orders the archives among them.
#include "search.h"

#include <algorithm>
#include <cerrno>

#include "extractor.h"
#include "filesys.h"

namespace {

// ASCII upper case only: names are bytes, not text in any locale.
unsigned char upper(char c) {
  return c >= 'a' && c <= 'z' ? (unsigned char)(c - 'a' + 'A') : (unsigned char)c;
}

bool upper_less(char a, char b) {
  return upper(a) < upper(b);
}

}  // namespace

bool is_archive_name(const std::string &name) {
  std::string tail = name.substr(std::max(name.size(), size_t(4)) - 4);
  for (char &c : tail)
    c = char(upper(c));
  return tail == ".IXF";
}

bool archive_order(const std::string &a, const std::string &b) {
  if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                   upper_less))
    return true;
  if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
                                   upper_less))
    return false;
  // Names equal but for case, possible on Linux, still get one order.
  return a < b;
}

int find_archives(std::vector<std::string> *names) {
  std::vector<std::string> files;
  if (fs_list_plain_files(&files) != 0)
    return -1;
  // A name that the system takes for a device, or whose folder it would,
  // names no archive that can be read or extracted.
  for (const std::string &name : files) {
    std::string folder = archive_directory_name(name);
    if (is_archive_name(name) && !fs_is_device(name.c_str()) &&
        !fs_is_device(folder.c_str()))
      names->push_back(name);
  }
  std::sort(names->begin(), names->end(), archive_order);
  if (names->empty()) {
    errno = ENOENT;
    return -1;
  }
  return 0;
}
