// Every platform call failing in turn, with the errors it can meet:
// veldor-faults is veldor with stand-ins in front of the platform's calls
// that fail where VELDOR_FAULTS says.  Each case runs it on one small
// folder, as a user runs veldor, and checks the status, the exact report,
// and the images written before the failure.
#include "veldor_fixture.h"

namespace {

// The folder's images in the order they are written: A's two (the second
// longer than the reads and writes that fail part-way below), then C's.
// B.IXF is no archive; A/00000000.BMP and A/00000002.BMP are left from an
// earlier run, the first to be written over, the second to be left alone.
const std::string images[] = {make_image(4, 4, 1), make_image(100, 100, 2),
                              make_image(8, 8, 3)};
const char *const image_names[] = {"A/00000000.BMP", "A/00000001.BMP",
                                   "C/00000000.BMP"};

struct fault_case {
  const char *plan;     // VELDOR_FAULTS
  int status;
  const char *error;    // the report's message; none when empty
  int intact;           // images intact, in order; none after the next
  bool stdin_closed = false;
};

// Counting calls: the banner and its line feed are write_console 1 and 2;
// A.IXF, B.IXF and C.IXF are opened in turn, and each is closed after its
// images.  A run that goes on has come back to its folder: C's image is
// then where it belongs.
const fault_case cases[] = {
    {"", 0, "", 3},
    {"", 0, "", 3, true},  // the archive may get descriptor 0
    // Three archives read forward through one buffer: three seeks and
    // five reads, the last of each archive finding its end.
    {"seek_file@4=EIO,read_file@6=EIO", 0, "", 3},
    {"list_plain_files@1=EACCES", 255, "Permission denied", 0},
    {"open_archive@1=EACCES", 255, "Permission denied", 0},
    {"open_archive@3=EMFILE", 255, "Too many open files", 2},
    {"seek_file@1=EIO", 255, "Input/output error", 0},
    {"read_file@1=EIO", 255, "Input/output error", 0},  // at the signature
    {"read_file#20000=EIO", 255, "Input/output error", 1},
    {"read_file@2=EIO", 255, "Input/output error", 2},  // at the end of A
    {"make_directory@1=EACCES", 0, "", 3},  // A exists: no matter
    {"make_directory@2=EROFS", 255, "Read-only file system", 2},  // C's
    {"enter_directory@1=EACCES", 255, "Permission denied", 0},
    {"current_directory_id@1=EIO", 255, "Input/output error", 0},
    {"create_image_file@2=EISDIR", 255, "Is a directory", 1},
    {"write_image_data#5000=ENOSPC", 255, "No space left on device", 1},
    {"close_file@1=ENOSPC", 255, "No space left on device", 0},
    {"close_file@3=EIO", 255, "Input/output error", 2},  // archive A
    {"close_file@4=EIO", 255, "Input/output error", 2},  // B, rejected
    {"leave_directory@1=ENOENT", 255, "No such file or directory", 2},
    // The console fails, the images go on: reported once all is done,
    // and never in place of a failure that stops the run.
    {"write_console@3=EPIPE,write_console@5=ENOSPC", 255, "Broken pipe", 3},
    {"write_console@3=none", 255, "Input/output error", 3},
    {"write_console@4=EPIPE,create_image_file@2=EISDIR", 255, "Is a directory", 1},
    {"open_archive@1=EACCES,write_console@3=EPIPE", 255, "Permission denied", 0},
#ifdef __linux__
    // The system calls under the POSIX layer.  A/00000001.BMP is a link
    // there, replaced by the image.
    {"opendir@1=EMFILE", 255, "Too many open files", 0},
    {"lseek64@1=EIO", 255, "Input/output error", 0},
    {"stat64@5=EIO", 255, "Input/output error", 0},  // after the 4 entries
    {"fstat64@1=EIO", 255, "Input/output error", 0},
    {"fstat64@2=EIO", 255, "Input/output error", 0},   // the earlier image
    {"open64@2=EMFILE", 255, "Too many open files", 0},  // the way back
    {"open64@4=EACCES", 255, "Permission denied", 0},  // the earlier image
    {"open64@6=ENOSPC", 255, "No space left on device", 1},  // the link's
    {"open64@10=EACCES", 255, "Permission denied", 2},  // C's image
    {"lstat64@1=EIO", 255, "Input/output error", 0},
    {"unlink@1=EACCES", 255, "Permission denied", 1},
    {"fchdir@1=EACCES", 255, "Permission denied", 2},
    // C's folder made, not entered, with B's EINTR still in errno.
    {"read@3=EINTR,enter_directory@2=EACCES", 255, "Permission denied", 2},
    {"read@1=short,read@3=EINTR", 0, "", 3},  // at the end of A
    {"write@1=EINTR,write@2=short", 0, "", 3},
    {"write@2=ENOSPC", 255, "No space left on device", 1},
#endif
};

TEST_F(Veldor, FailsAsTheFailingCallDoes) {
  program_ = VELDOR_FAULTS_PROGRAM;
  for (const fault_case &c : cases) {
    fs::remove_all(work_);
    fs::create_directories(path("A"));
    put("A.IXF", make_archive({images[0], images[1]}));
    put("B.IXF", "not an archive");
    put("C.IXF", make_archive({images[2]}));
    put("A/00000000.BMP", "an earlier run's image");
    put("A/00000002.BMP", "an earlier run's third image");
#ifdef __linux__
    fs::create_symlink("nowhere", path("A/00000001.BMP"));
#endif
    run_options options;
    options.environment = {std::string("VELDOR_FAULTS=") + c.plan};
    options.stdin_closed = c.stdin_closed;
    run_result r = run(options);
    EXPECT_EQ(r.err, *c.error ? "\r\nError (VELDOR.EXE): " + std::string(c.error) + "\r\n" : "")
        << c.plan;
    EXPECT_EQ(r.status, c.status) << c.plan;
    for (int i = 0; i < c.intact; i++)
      EXPECT_EQ(get(image_names[i]), images[i]) << c.plan << ": " << i;
    for (int i = c.intact + 1; i < 3; i++)
      EXPECT_FALSE(fs::exists(path(image_names[i]))) << c.plan << ": " << i;
    EXPECT_EQ(get("A/00000002.BMP"), "an earlier run's third image") << c.plan;
    // No image counted on the console (a line after a CR alone) that is
    // not written whole.
    EXPECT_LE(std::count(r.out.begin(), r.out.end(), '\r') -
                  std::count(r.out.begin(), r.out.end(), '\n'), c.intact) << c.plan;
  }
}

}  // namespace
