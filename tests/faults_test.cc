// Every listed call failing in turn, with the errors it can meet:
// veldor-faults is veldor with stand-ins in front of the calls of
// fault_calls.h that fail where VELDOR_FAULTS says, each aimed at a call on
// one file.  Each case runs it on one small folder, as a user runs veldor,
// and checks the status, the exact report, and the images written before
// the failure.
#include <algorithm>
#include <cstring>

#include "kit.h"

namespace {

class Faults : public ProgramTest {};

// The folder's images in the order they are written: A's two (the second
// longer than the reads and writes that fail part-way below), then C's.
// B.IXF is no archive; A/00000000.BMP and A/00000002.BMP are left from an
// earlier run, the first to be written over, the second to be left alone;
// and where a plan names it, A/00000001.BMP is another name of the file
// "outside", which must keep its bytes.
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
  const char *absent = nullptr;  // a file that the run must not make
};

// A run that goes on has come back to its folder: C's image is then where
// it belongs.  The banner and its line feed are stdout's first two writes.
const fault_case cases[] = {
    {"", 0, "", 3},
    {"", 0, "", 3, true},  // the archive may get descriptor 0
    // Each archive read forward through one buffer: one seek, and a read
    // of all it holds, then one that finds its end (none where the
    // signature is missing).
    {"fs_seek:A.IXF@2=EIO,fs_read:A.IXF@3=EIO,fs_seek:B.IXF@2=EIO,"
     "fs_read:B.IXF@2=EIO,fs_seek:C.IXF@2=EIO,fs_read:C.IXF@3=EIO", 0, "", 3},
    {"fs_list_plain_files:.=EACCES", 255, "Permission denied", 0},
    // What the system takes for a device, by its name or its folder's,
    // is passed over.
    {"fs_is_device:C.IXF=1", 0, "", 2, false, "C"},
    {"fs_is_device:C=1", 0, "", 2, false, "C"},
    {"fs_open_archive:A.IXF=EACCES", 255, "Permission denied", 0},
    {"fs_open_archive:C.IXF=EMFILE", 255, "Too many open files", 2},
    {"fs_seek:A.IXF=EIO", 255, "Input/output error", 0},
    {"fs_read:A.IXF=EIO", 255, "Input/output error", 0},  // at the signature
    {"fs_read:A.IXF#20000=EIO", 255, "Input/output error", 1},
    {"fs_read:A.IXF@2=EIO", 255, "Input/output error", 2},  // at its end
    {"fs_make_directory:A=EACCES", 0, "", 3},  // A exists: no matter
    {"fs_make_directory:C=EROFS", 255, "Read-only file system", 2},
    {"fs_enter_directory:A=EACCES", 255, "Permission denied", 0},
    {"fs_directory_id:A=EIO", 255, "Input/output error", 0},
    {"fs_create_new:A/00000001.BMP=EISDIR", 255, "Is a directory", 1},
    // A place that changes between its look and its open (a link, a FIFO
    // without a reader), looked at again; one that keeps changing, a few
    // times.
    {"fs_open_old_image:A/00000000.BMP=ELOOP,fs_open_old_image:A/00000000.BMP@2=ENXIO", 0, "", 3},
    {"fs_create_new:C/00000000.BMP=EEXIST,fs_create_new:C/00000000.BMP@2=EEXIST,"
     "fs_create_new:C/00000000.BMP@3=EEXIST,fs_create_new:C/00000000.BMP@4=EEXIST,"
     "fs_create_new:C/00000000.BMP@5=EEXIST", 255, "File exists", 2},
    {"fs_create_new:C/00000000.BMP=EEXIST,fs_create_new:C/00000000.BMP@2=EEXIST,"
     "fs_create_new:C/00000000.BMP@3=EEXIST,fs_create_new:C/00000000.BMP@4=EEXIST", 0, "", 3},
    {"fs_write:A/00000001.BMP=ENOSPC", 255, "No space left on device", 1},
    {"fs_close:A/00000000.BMP=ENOSPC", 255, "No space left on device", 0},
    {"fs_close:A.IXF=EIO", 255, "Input/output error", 2},
    {"fs_close:B.IXF=EIO", 255, "Input/output error", 2},  // rejected
    {"fs_leave_directory:A=ENOENT", 255, "No such file or directory", 2},
    // The console fails, the images go on: reported once all is done,
    // and never in place of a failure that stops the run.
    {"term_write:stdout@3=EPIPE,term_write:stdout@5=ENOSPC", 255, "Broken pipe", 3},
    {"term_write:stdout@3=none", 255, "Input/output error", 3},
    {"term_write:stdout@4=EPIPE,fs_create_new:A/00000001.BMP=EISDIR", 255,
     "Is a directory", 1},
    {"fs_open_archive:A.IXF=EACCES,term_write:stdout@3=EPIPE", 255,
     "Permission denied", 0},
#ifdef __linux__
    // The C library under the POSIX layer.
    {"opendir:.=EMFILE", 255, "Too many open files", 0},
    {"lseek64:A.IXF=EIO", 255, "Input/output error", 0},
    {"stat64:A@2=EIO", 255, "Input/output error", 0},  // A's identity
    {"fstat64:A.IXF=EIO", 255, "Input/output error", 0},
    {"fstat64:A/00000000.BMP=EIO", 255, "Input/output error", 0},  // earlier
    {"open64:.=EMFILE", 255, "Too many open files", 0},  // the way back
    {"open64:A/00000000.BMP@2=EACCES", 255, "Permission denied", 0},  // earlier
    {"open64:A/00000001.BMP@2=ENOSPC", 255, "No space left on device", 1},  // its new file
    {"open64:C/00000000.BMP=EACCES", 255, "Permission denied", 2},
    {"lstat64:A/00000000.BMP=EIO", 255, "Input/output error", 0},
    {"ftruncate64:A/00000000.BMP=EIO", 255, "Input/output error", 0},
    // An earlier image gone after the create found it: made again.
    {"lstat64:A/00000000.BMP=ENOENT", 0, "", 3},
    {"open64:A/00000000.BMP@2=ENOENT", 0, "", 3},
    {"unlink:A/00000001.BMP=EACCES", 255, "Permission denied", 1},
    // Removed, but by another program, which put another link there.
    {"unlink:A/00000001.BMP=ENOENT", 0, "", 3},
    {"fchdir:.=EACCES", 255, "Permission denied", 2},
    // C's folder made, not entered, with B's EINTR still in errno.
    {"read:B.IXF=EINTR,fs_enter_directory:C=EACCES", 255, "Permission denied", 2},
    {"read:A.IXF=short,read:A.IXF@3=EINTR", 0, "", 3},  // at the end of A
    {"write:A/00000000.BMP=EINTR,write:A/00000000.BMP@2=short", 0, "", 3},
    {"write:A/00000001.BMP#5000=ENOSPC", 255, "No space left on device", 1},
#elif defined(_WIN32)
    // Windows under its layers, failing with its own errors: the report
    // says what Windows said, whatever the runtime.  The list ends where
    // the search fails: at ".", the first entry.
    {"FindFirstFileW:.=ERROR_ACCESS_DENIED", 255, "Permission denied", 0},
    {"FindNextFileW:.=ERROR_NOT_READY", 255, "No such file or directory", 0},
    // The search opens each archive and folder for its attributes first.
    {"CreateFileW:A.IXF@2=ERROR_SHARING_VIOLATION", 255, "Permission denied", 0},
    {"CreateFileW:A/00000001.BMP=ERROR_SHARING_VIOLATION", 255, "Permission denied", 1},
    {"CreateFileW:A@2=ERROR_PATH_NOT_FOUND", 255, "No such file or directory", 0},  // A's identity
    {"ReadFile:A.IXF#20000=ERROR_CRC", 255, "Input/output error", 1},
    {"SetFilePointerEx:C.IXF=ERROR_NOT_READY", 255, "Input/output error", 2},
    {"WriteFile:A/00000001.BMP#5000=ERROR_DISK_FULL", 255, "No space left on device", 1},
    {"WriteFile:A/00000000.BMP=short", 0, "", 3},
    {"CloseHandle:A/00000000.BMP@2=ERROR_HANDLE_DISK_FULL", 255, "No space left on device", 0},  // after its look
    // A read-only medium; then A, which exists: that is no reason.
    {"CreateDirectoryW:C=ERROR_WRITE_PROTECT,SetCurrentDirectoryW:C=ERROR_PATH_NOT_FOUND",
     255, "Permission denied", 2},
    {"SetCurrentDirectoryW:A=ERROR_ACCESS_DENIED", 255, "Permission denied", 0},
    // C made, not entered, with A's failure still in errno.
    {"CreateDirectoryW:A=ERROR_WRITE_PROTECT,SetCurrentDirectoryW:C=ERROR_PATH_NOT_FOUND",
     255, "No such file or directory", 2},
    {"GetCurrentDirectoryW:.=ERROR_ACCESS_DENIED", 255, "Permission denied", 0},
    {"SetCurrentDirectoryW:.=ERROR_PATH_NOT_FOUND", 255, "No such file or directory", 2},
    {"GetFileInformationByHandle:A=ERROR_INVALID_FUNCTION", 255, "Invalid argument", 0},
    // Two folders known by the 64-bit index alone are still two.
    {"GetFileInformationByHandleEx:A=none,GetFileInformationByHandleEx:C=none", 0, "", 3},
    {"GetFileInformationByHandle:A.IXF=ERROR_INVALID_FUNCTION", 255, "Invalid argument", 0},
    {"GetFileInformationByHandle:A/00000000.BMP=ERROR_INVALID_FUNCTION", 255, "Invalid argument", 0},
    {"SetEndOfFile:A/00000000.BMP=ERROR_DISK_FULL", 255, "No space left on device", 0},
    // An earlier image gone after the look, and one removed by another
    // program, which put another there.
    {"CreateFileW:A/00000000.BMP@3=ERROR_FILE_NOT_FOUND", 0, "", 3},
    {"MoveFileExW:A/00000001.BMP=ERROR_FILE_NOT_FOUND", 0, "", 3},
    // Removed at once where Windows can (Wine cannot: the second time); or
    // moved aside, under a name of its own, and put back where the delete
    // fails (a read-only file).
    {"SetFileInformationByHandle:A/00000001.BMP=1,fs_look:A/00000001.BMP@2=EIO", 255,
     "Input/output error", 1},  // not moved aside: looked at again
    {"MoveFileExW:A/00000001.BMP=ERROR_ACCESS_DENIED", 255, "Permission denied", 1},
    {"MoveFileExW:A/00000001.BMP=ERROR_ALREADY_EXISTS", 0, "", 3, false, "A/00000001.BMP.veldor-removed-1"},
    {"DeleteFileW:A/00000001.BMP.veldor-removed-0=ERROR_ACCESS_DENIED", 255, "Permission denied", 1,
     false, "A/00000001.BMP.veldor-removed-0"},
    // A name whose full path cannot be had is no device's: extracted.
    {"GetFullPathNameW:A.IXF=ERROR_ACCESS_DENIED,GetFullPathNameW:A=ERROR_ACCESS_DENIED", 0, "", 3},
    // What is no disk file (3, a pipe: a FIFO under Wine) is passed over as
    // an archive, and removed where an image goes; and what Windows says is
    // a link (1024) or a junction (1040), which Wine cannot make, likewise.
    {"GetFileType:C.IXF=3", 0, "", 2, false, "C"},
    {"GetFileType:A.IXF@2=3", 255, "Invalid argument", 0},  // since the search
    {"GetFileType:A/00000001.BMP=3,GetFileAttributesW:A/00000001.BMP=-1", 0, "", 3},  // no attributes
    // What stands there cannot be looked at, opened to be removed at once
    // (no matter: moved aside), or looked at once opened.
    {"CreateFileW:A/00000000.BMP@2=ERROR_ACCESS_DENIED", 255, "Permission denied", 0},
    {"CreateFileW:A/00000001.BMP@3=ERROR_ACCESS_DENIED", 0, "", 3},
    {"GetFileInformationByHandle:A/00000000.BMP@2=ERROR_INVALID_FUNCTION", 255, "Invalid argument", 0},
    {"GetFileType:A/00000001.BMP=3,DeleteFileW:A/00000001.BMP=ERROR_ACCESS_DENIED",
     255, "Permission denied", 1},
    {"GetFileType:A/00000001.BMP=3,GetFileAttributesW:A/00000001.BMP=1040,"
     "RemoveDirectoryW:A/00000001.BMP=ERROR_ACCESS_DENIED", 255, "Permission denied", 1},
#endif
};

TEST_F(Faults, FailAsTheFailingCallDoes) {
  program_ = VELDOR_FAULTS_PROGRAM;
  for (const fault_case &c : cases) {
    fs::remove_all(work_);
    fs::create_directories(path("A"));
    put("A.IXF", make_archive({images[0], images[1]}));
    put("B.IXF", "not an archive");
    put("C.IXF", make_archive({images[2]}));
    put("A/00000000.BMP", "an earlier run's image");
    put("A/00000002.BMP", "an earlier run's third image");
    put("../outside", "outside");
    if (!*c.plan || strstr(c.plan, "A/00000001.BMP"))
      fs::create_hard_link(fs::u8path(path("../outside")), fs::u8path(path("A/00000001.BMP")));
    run_options options;
    options.environment = {std::string("VELDOR_FAULTS=") + c.plan};
    options.stdin_closed = c.stdin_closed;
    run_result r = run(options);
    EXPECT_EQ(r.err, *c.error ? report(c.error) : "") << c.plan;
    EXPECT_EQ(r.status, c.status) << c.plan;
    for (int i = 0; i < c.intact; i++)
      EXPECT_EQ(get(image_names[i]), images[i]) << c.plan << ": " << i;
    for (int i = c.intact + 1; i < 3; i++)
      EXPECT_FALSE(fs::exists(path(image_names[i]))) << c.plan << ": " << i;
    EXPECT_EQ(get("A/00000002.BMP"), "an earlier run's third image") << c.plan;
    EXPECT_FALSE(c.absent && fs::exists(path(c.absent))) << c.plan;
    EXPECT_EQ(get("../outside"), "outside") << c.plan;
    // No image counted on the console (a line after a CR alone) that is
    // not written whole.
    EXPECT_LE(std::count(r.out.begin(), r.out.end(), '\r') -
                  std::count(r.out.begin(), r.out.end(), '\n'), c.intact) << c.plan;
  }
}

}  // namespace
