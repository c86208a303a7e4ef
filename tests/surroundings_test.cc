// The program in hostile and failing surroundings: full disks, missing
// rights, size limits, special files, links laid as traps.  (Forged sizes,
// which need no special surroundings, are tested in veldor_test.cc.)  The first
// failure must stop the run with the right report, keep what was written
// before it, and touch nothing outside the working folder.
#include <gtest/gtest.h>

#include <cstdlib>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include "veldor_fixture.h"

namespace {

// True when |command| runs and exits 0, its output discarded.
bool can_run(const std::string &command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

TEST_F(Veldor, ReportsADiskThatFillsUp) {
  if (!can_run("unshare -m --propagation private true"))
    GTEST_SKIP() << "cannot make a mount namespace here (needs root)";
  put("A.IXF", make_archive({make_image(4, 4, 1)}));
  put("B.IXF", make_archive({make_image(4, 4, 2), make_image(128, 128, 3),
                             make_image(4, 4, 4)}));
  fs::create_directory(path("B"));
  // B's folder is a 32 KiB file system; the 48 KiB image does not fit.
  run_options options;
  options.wrapper = {"unshare", "-m", "--propagation", "private", "sh", "-c",
                     "mount -t tmpfs -o size=32k tmpfs B && exec \"$0\""};
  run_result r = run(options);
  EXPECT_EQ(r.err, "\r\nError (VELDOR.EXE): No space left on device\r\n");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, progress("A.IXF        ", 1) + progress("B.IXF        ", 1));
  EXPECT_EQ(get("A/00000000.BMP"), make_image(4, 4, 1));
}

// Runs the program as an unprivileged user, or skips the test with the
// reason why it cannot.
class AsNobody : public Veldor {
 protected:
  void SetUp() override {
    Veldor::SetUp();
    if (geteuid() == 0) {
      if (!can_run("setpriv --reuid=65534 --regid=65534 --clear-groups true"))
        GTEST_SKIP() << "cannot drop root's rights here (setpriv)";
      options_.wrapper = {"setpriv", "--reuid=65534", "--regid=65534",
                          "--clear-groups", "--"};
      // A copy beside the folder: the build tree may be out of its reach.
      program_ = root_ + "/veldor";
      fs::copy_file(VELDOR_PROGRAM, program_);
      chmod(program_.c_str(), 0755);
    }
    chmod(root_.c_str(), 0755);
  }
  void TearDown() override {
    chmod(work_.c_str(), 0755);
    Veldor::TearDown();
  }
  run_result run_unprivileged() {
    run_result r = run(options_);
    if (r.status == 126 || r.status == 127)
      ADD_FAILURE() << "the program could not be started as nobody: " << r.err;
    return r;
  }
  run_options options_;
};

TEST_F(AsNobody, ReportsAnArchiveItMayNotRead) {
  put("A.IXF", make_archive({make_image(4, 4, 1)}));
  put("B.IXF", make_archive({make_image(4, 4, 2)}));
  put("C.IXF", make_archive({make_image(4, 4, 3)}));
  chmod(path("B.IXF").c_str(), 0);
  chmod(work_.c_str(), 0777);
  run_result r = run_unprivileged();
  EXPECT_EQ(r.err, "\r\nError (VELDOR.EXE): Permission denied\r\n");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, progress("A.IXF        ", 1) + progress("B.IXF        ", 0));
  EXPECT_EQ(get("A/00000000.BMP"), make_image(4, 4, 1));
  EXPECT_FALSE(fs::exists(path("C")));
}

TEST_F(AsNobody, ReportsAFolderItMayNotWriteIn) {
  put("A.IXF", make_archive({make_image(4, 4, 1)}));
  chmod(work_.c_str(), 0555);
  run_result r = run_unprivileged();
  EXPECT_EQ(r.err, "\r\nError (VELDOR.EXE): No such file or directory\r\n");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, progress("A.IXF        ", 0));
}

TEST_F(Veldor, PassesOverSpecialFilesWithoutBlocking) {
  ASSERT_EQ(mkfifo(path("PIPE.IXF").c_str(), 0644), 0);
  int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  struct sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::string sock_path = path("SOCK.IXF");
  ASSERT_LT(sock_path.size(), sizeof address.sun_path);
  sock_path.copy(address.sun_path, sock_path.size());
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  fs::create_directory(path("DIR.IXF"));
  fs::create_symlink("DIR.IXF", path("TODIR.IXF"));
  fs::create_symlink("nowhere", path("DANGLING.IXF"));
  put(".HIDDEN.IXF", make_archive({make_image(4, 4, 0)}));
  put("REAL.IXF", make_archive({make_image(4, 4, 1)}));
  run_result r = run();
  close(sock);
  EXPECT_EQ(r.out, progress("REAL.IXF     ", 1) + done);
  EXPECT_EQ(r.status, 0);
  for (const char *folder : {"PIPE", "SOCK", "DIR", "TODIR", "DANGLING", ".HIDDEN"})
    EXPECT_FALSE(fs::exists(fs::symlink_status(path(folder)))) << folder;
}

TEST_F(Veldor, FollowsALinkToAnArchive) {
  put("real.bin", make_archive({make_image(4, 4, 5)}));
  fs::create_symlink("real.bin", path("LINKED.IXF"));
  run_result r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(get("LINKED/00000000.BMP"), make_image(4, 4, 5));
}

TEST_F(Veldor, ReportsAWriteThatFails) {
  // The second image of B outgrows the limit: in its first write at
  // 64 x 64, in its second at 424 x 424 (more than one 512 KiB block).
  struct {
    int32_t size;
    long limit;
  } cases[] = {{64, 4096}, {424, 530000}};  // 424 x 424: 539384 bytes
  for (const auto &c : cases) {
    int32_t size = c.size;
    put("A.IXF", make_archive({make_image(4, 4, 1)}));
    put("B.IXF", make_archive({make_image(4, 4, 2), make_image(size, size, 3)}));
    run_options options;
    options.file_size_limit = c.limit;
    run_result r = run(options);
    EXPECT_EQ(r.err, "\r\nError (VELDOR.EXE): File too large\r\n") << size;
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, progress("A.IXF        ", 1) + progress("B.IXF        ", 1));
    EXPECT_EQ(get("B/00000000.BMP"), make_image(4, 4, 2));
  }
}

TEST_F(Veldor, ComesBackToItsFolderThroughALinkedArchiveFolder) {
  // ".." of the linked folder is elsewhere/deep, not the working folder.
  fs::create_directories(root_ + "/elsewhere/deep/target");
  fs::create_directory_symlink(root_ + "/elsewhere/deep/target", path("A"));
  put("A.IXF", make_archive({make_image(4, 4, 1)}));
  put("B.IXF", make_archive({make_image(4, 4, 2)}));
  run_result r = run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(root_ + "/elsewhere/deep/target/00000000.BMP"),
            make_image(4, 4, 1));
  EXPECT_EQ(get("B/00000000.BMP"), make_image(4, 4, 2));
  EXPECT_FALSE(fs::exists(root_ + "/elsewhere/deep/B"));
}

TEST_F(Veldor, WritesOnlyIntoRegularImageFiles) {
  std::vector<std::string> images;
  for (unsigned i = 0; i < 7; i++)
    images.push_back(make_image(4, 4, i));
  put("A.IXF", make_archive(images));
  fs::create_directory(path("A"));
  auto image = [&](int i) { return path("A/0000000" + std::to_string(i) + ".BMP"); };
  write_file(root_ + "/victim", "precious");
  fs::create_symlink(root_ + "/victim", image(0));
  fs::create_symlink(root_ + "/absent", image(1));
  ASSERT_EQ(mkfifo(image(2).c_str(), 0644), 0);  // nothing reads it
  ASSERT_EQ(mkfifo(image(3).c_str(), 0644), 0);  // read by this test
  int reader = open(image(3).c_str(), O_RDONLY | O_NONBLOCK);
  int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  struct sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::string sock_path = image(4);
  ASSERT_LT(sock_path.size(), sizeof address.sun_path);
  sock_path.copy(address.sun_path, sock_path.size());
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  // A device that would swallow the image, where we may make one.
  if (mknod(image(5).c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
    write_file(image(5), "a regular file, when no device can be made");
  write_file(image(6), std::string(1000, 'x'));  // longer than the image
  run_result r = run();
  close(reader);
  close(sock);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(root_ + "/victim"), "precious");
  EXPECT_FALSE(fs::exists(root_ + "/absent"));
  for (int i = 0; i < 7; i++) {
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(image(i)))) << i;
    EXPECT_EQ(read_file(image(i)), images[size_t(i)]) << i;
  }
}

// The console as users leave it: a file or pipe that fails, a terminal.

TEST_F(Veldor, ReportsAConsoleThatCannotBeWrittenOnceAllIsExtracted) {
  // Enough progress to fill several of the 512-byte blocks.
  for (const char *name : {"A.IXF", "B.IXF", "C.IXF"}) {
    std::vector<std::string> images(30, make_image(4, 4, 1));
    put(name, make_archive(images));
  }
  struct {
    output_kind output;
    const char *stdout_path;
    const char *error;
  } cases[] = {
      {output_closed_pipe, "", "Broken pipe"},
      {output_file, "/dev/full", "No space left on device"},
  };
  for (const auto &c : cases) {
    if (c.stdout_path[0] != '\0' && !fs::exists(c.stdout_path))
      continue;
    fs::remove_all(path("C"));
    run_options options;
    options.output = c.output;
    options.stdout_path = c.stdout_path;
    run_result r = run_program(VELDOR_PROGRAM, work_, options);
    EXPECT_EQ(r.err, std::string("\r\nError (VELDOR.EXE): ") + c.error + "\r\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(get("C/00000029.BMP"), make_image(4, 4, 1)) << c.error;
  }
}

TEST_F(Veldor, WritesRedirectedOutputIn512ByteBlocks) {
  std::vector<std::string> images(40, make_image(4, 4, 1));
  put("A.IXF", make_archive(images));
  run_options options;
  options.output = output_packets;
  run_result r = run(options);
  EXPECT_EQ(r.out, progress("A.IXF        ", 40) + done);
  ASSERT_GT(r.writes.size(), 3u);
  for (size_t i = 0; i + 1 < r.writes.size(); i++)
    EXPECT_EQ(r.writes[i], 512u) << "write " << i;
}

TEST_F(Veldor, ShowsItsTextOnATerminalInTheTerminalsCharacterSet) {
  // A UTF-8 name holding the byte 0x82 itself: names are never converted.
  put("\xC4\x82.IXF", make_archive({make_image(4, 4, 1)}));
  struct {
    const char *locale;
    const char *done;
  } cases[] = {
      {"LC_ALL=C.UTF-8", "\r\nEx\xC3\xA9" "cution achev\xC3\xA9" "e.\r\n"},
      {"LC_ALL=C", "\r\nEx\x82" "cution achev\x82" "e.\r\n"},
  };
  for (const auto &c : cases) {
    run_options options;
    options.output = output_terminal;
    options.environment = {c.locale};
    run_result r = run(options);
    EXPECT_EQ(r.out, progress("\xC4\x82.IXF       ", 1) + c.done) << c.locale;
    EXPECT_EQ(r.status, 0);
  }
}

}  // namespace
