// Finding archives: the platform lists the plain files, this picks and
// orders the archives among them.
#include "search.h"

#include <algorithm>
#include <cerrno>

#include "platform.h"

namespace {

// ASCII upper case only: names are bytes, not text in any locale.
std::string upper_case(std::string name) {
  for (char &c : name)
    if (c >= 'a' && c <= 'z')
      c = char(c - 'a' + 'A');
  return name;
}

}  // namespace

bool is_archive_name(const std::string &name) {
  return name.size() > 4 && upper_case(name.substr(name.size() - 4)) == ".IXF";
}

bool archive_order(const std::string &a, const std::string &b) {
  std::string ua = upper_case(a), ub = upper_case(b);
  // Names equal but for case, possible on Linux, still get one order.
  return ua != ub ? ua < ub : a < b;
}

int find_archives(std::vector<std::string> *names) {
  std::vector<std::string> files;
  if (list_plain_files(&files) != 0)
    return -1;
  names->clear();
  for (const std::string &name : files)
    if (is_archive_name(name))
      names->push_back(name);
  std::sort(names->begin(), names->end(), archive_order);
  if (names->empty()) {
    errno = ENOENT;
    return -1;
  }
  return 0;
}
