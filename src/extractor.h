// Extracting one IXF archive into a directory of its own.
#ifndef VELDOR_EXTRACTOR_H_
#define VELDOR_EXTRACTOR_H_

#include <cstdint>
#include <cstdio>
#include <string>

/// Extracts every image of archive |name| (a bare name in the current
/// directory) into the directory named after it, as 00000000.BMP,
/// 00000001.BMP, ..., keeping a count on |console|.  Returns 0 when the run
/// can go on (the archive was extracted, or rejected as not an IXF archive),
/// with the current directory as it was on entry; or 1 on a fatal failure,
/// with errno telling why, the archive and the image being written left
/// open for the exit to close, and the current directory left wherever
/// the failure found it.  A directory that an earlier
/// archive of the run was extracted into is never written into again: that
/// is a failure, EEXIST.
int extract_archive(const char *name, FILE *console);

/// Starts a new run in the same process, as the tests and the fuzzer do:
/// the directories that earlier archives were extracted into are
/// forgotten.  (A program starts with none.)
void begin_run();

/// The directory an archive's images go to: its name up to the last dot,
/// or the whole name without a dot; empty for "." and "..".
std::string archive_directory_name(const std::string &name);

#endif  // VELDOR_EXTRACTOR_H_
