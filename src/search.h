// Finding the archives of the current directory.
#ifndef VELDOR_SEARCH_H_
#define VELDOR_SEARCH_H_

#include <string>
#include <vector>

/// Appends to |names| the plain files of the current directory whose names
/// end in ".IXF" in any case, but those that the system takes for devices
/// or whose folders it would, in ascending byte order of their upper-cased
/// names: the order the original platform's file system gives, and the same
/// on every run and every platform.  Returns 0, or -1 with errno set; when
/// nothing matches, errno is ENOENT.
int find_archives(std::vector<std::string> *names);

/// True when |name| ends in ".IXF" in any case (".IXF" itself included).
bool is_archive_name(const std::string &name);

/// True when |a| comes before |b| in the archives' order.
bool archive_order(const std::string &a, const std::string &b);

#endif  // VELDOR_SEARCH_H_
