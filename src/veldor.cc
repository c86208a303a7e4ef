// veldor: copies the bitmap images out of the IXF archives of SimCity 3000
// in the current directory, one directory per archive.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console.h"
#include "extractor.h"
#include "search.h"
#include "terminal.h"

namespace {

// Within 80 columns with "par " before it, as the console it was made for.
const char credit[] =
    "les auteurs de veldor, sous licence MIT";

// Reports the failure that errno records, on standard error, and gives the
// run's exit status.
int report_fatal() {
  int error = errno;
  // Progress already written comes first in a log of both streams.
  console_flush(stdout);
  console_printf(stderr, "\nError (VELDOR.EXE): %s\n", strerror(error));
  term_end();
  return -1;
}

}  // namespace

int main() {
  term_setup();
  console_printf(stdout,
                 "Extracteur de fichiers BitMaP depuis des archives IXF\n"
                 "Version %d.%02d pour SimCity 3000\npar %s",
                 1, 0, credit);
  console_printf(stdout, "\n");

  std::vector<std::string> archives;
  if (find_archives(&archives) != 0)
    return report_fatal();
  for (const std::string &name : archives)
    if (extract_archive(name.c_str(), stdout) != 0)
      return report_fatal();

  console_printf(stdout, "\nEx\x82" "cution achev\x82" "e.");
  // A prompt after the run starts on a line of its own.
  if (term_is_console(stdout))
    console_printf(stdout, "\n");
  // A console that could not take the output is a failure like any other,
  // reported once every archive is extracted: the images are the job, the
  // console only tells of it.
  console_flush(stdout);
  if (console_error() != 0) {
    errno = console_error();
    return report_fatal();
  }
  term_end();
  return 0;
}
