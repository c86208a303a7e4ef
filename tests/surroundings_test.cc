// The program in hostile and failing surroundings: full disks, missing
// rights, size and descriptor limits, special files, links laid as traps.
// (Forged sizes, which need no special surroundings, are tested in
// program_test.cc.)  The first failure must stop the run with the right
// report, keep what was written before it, and touch nothing outside the
// working folder.
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "kit.h"

namespace {

class Surroundings : public ProgramTest {};

// True when |command| runs and exits 0, its output discarded.
bool can_run(const std::string &command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

TEST_F(Surroundings, ReportsWhatTheSystemRefusesAndKeepsWhatCameBefore) {
  // Run as nobody when the tests run as root, from a copy beside the
  // folder, since the build tree may be out of nobody's reach.
  run_options as_user;
  if (geteuid() == 0) {
    if (!can_run("setpriv --reuid=65534 --regid=65534 --clear-groups true"))
      GTEST_SKIP() << "cannot drop root's rights here (setpriv)";
    as_user.wrapper = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    program_ = root_ + "/veldor";
    fs::copy_file(VELDOR_PROGRAM, program_);
    chmod(program_.c_str(), 0755);
  }
  chmod(root_.c_str(), 0755);
  // A.IXF, then B.IXF, whose second image is |size| x |size|.  What the
  // run may not read or write in; or B's second image does not fit: under
  // a file size limit, met in its first write at 64 x 64 or in its second
  // at 424 x 424 (539384 bytes, more than one 512 KiB block), or in B's
  // folder, a 32 KiB file system, last since it needs root.  Then the
  // progress, report and first image of A that follow.  A read-only file
  // with another name (the archive, or a file elsewhere) where an image
  // goes is no failure: its name is removed, which needs no right to it.
  const std::string both = progress("A.IXF", 1) + progress("B.IXF", 1);
  const std::string a = make_image(4, 4, 1), old = "an earlier run's image";
  const std::string all = progress("A.IXF", 1) + progress("B.IXF", 2) + done;
  struct {
    const char *name;  // made unreadable or read-only (A: neither), or B a file system
    mode_t mode;
    long limit;
    int32_t size;
    const char *error;  // none: the run goes well
    std::string out, a_image;
    const char *linked = nullptr;  // a file that |name| is made another name of
  } cases[] = {
      {"A/00000000.BMP", 0444, -1, 4, "", all, a, "A.IXF"},
      {"A/00000000.BMP", 0444, -1, 4, "", all, a, "../outside"},
      {".", 0555, -1, 4, "Permission denied", progress("A.IXF", 0), "<missing>"},  // no folder
      {".", 0333, -1, 4, "Permission denied", "", "<missing>"},  // the search itself
      {"A/00000000.BMP", 0444, -1, 4, "Permission denied", progress("A.IXF", 0), old},
      {"B.IXF", 0, -1, 4, "Permission denied", progress("A.IXF", 1) + progress("B.IXF", 0), a},
      {"A", 0777, 4096, 64, "File too large", both, a},
      {"A", 0777, 530000, 424, "File too large", both, a},
      {"B", 0, -1, 128, "No space left on device", both, a},
  };
  for (const auto &c : cases) {
    chmod(work_.c_str(), 0755);
    fs::remove_all(work_);
    fs::create_directories(path("A"));
    put("A.IXF", make_archive({make_image(4, 4, 1)}));
    put("B.IXF", make_archive({make_image(4, 4, 2), make_image(c.size, c.size, 3)}));
    put("A/00000000.BMP", old);
    chmod(path("A/00000000.BMP").c_str(), 0666);
    chmod(path("A").c_str(), 0777);
    chmod(work_.c_str(), 0777);
    if (std::string(c.name) == ".")
      fs::remove_all(path("A"));
    fs::remove(path("../outside"));  // a read-only case's link made it read-only
    put("../outside", "outside");
    if (c.linked) {
      fs::remove(path(c.name));
      fs::create_hard_link(path(c.linked), path(c.name));
    }
    const std::string kept = c.linked ? get(c.linked) : "";
    chmod(path(c.name).c_str(), c.mode);
    run_options options = as_user;
    options.file_size_limit = c.limit;
    if (std::string(c.name) == "B") {
      if (!can_run("unshare -m --propagation private true"))
        GTEST_SKIP() << "cannot make a mount namespace here (needs root)";
      fs::create_directory(path("B"));
      options.wrapper = {"unshare", "-m", "--propagation", "private", "sh", "-c",
                         "mount -t tmpfs -o size=32k tmpfs B && exec \"$0\""};
    }
    run_result r = run(options);
    bool fails = *c.error;
    EXPECT_EQ(r.err, fails ? report(c.error) : "") << c.name;
    EXPECT_EQ(r.status, fails ? 255 : 0) << c.name;
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_EQ(get("A/00000000.BMP"), c.a_image) << c.name;
    // B's folder only once B is reached; a file system there is gone with
    // the run.
    EXPECT_EQ(fs::exists(path("B")), c.out == both || !fails) << c.name;
    EXPECT_EQ(get("B/00000000.BMP"), c.limit < 0 && fails ? "<missing>" : make_image(4, 4, 2)) << c.name;
    EXPECT_EQ(c.linked ? get(c.linked) : "", kept) << c.name;
  }
  chmod(work_.c_str(), 0755);
}

TEST_F(Surroundings, FollowsLinksToArchivesAndFoldersAndComesBack) {
  // A's folder is a link elsewhere, and its ".." is elsewhere/deep.
  fs::create_directories(root_ + "/elsewhere/deep/target");
  fs::create_directory_symlink(root_ + "/elsewhere/deep/target", path("A"));
  put("A.IXF", make_archive({make_image(4, 4, 1)}));
  put("real.bin", make_archive({make_image(4, 4, 5)}));
  fs::create_symlink("real.bin", path("LINKED.IXF"));
  // SELF.IXF leads to where its first image goes: the archive's only name,
  // which writing there would lose.  The run stops there.
  fs::create_directory(path("SELF"));
  put("SELF/00000000.BMP", make_archive({make_image(4, 4, 6)}));
  fs::create_symlink("SELF/00000000.BMP", path("SELF.IXF"));
  // Standard streams, an archive, the folder to come back to and an image
  // at most: a descriptor kept longer would run out in the second archive.
  run_options options;
  options.open_files_limit = 6;
  mode_t mask = umask(022);
  run_result r = run(options);
  umask(mask);
  EXPECT_EQ(r.err, report("File exists"));
  EXPECT_EQ(get("SELF/00000000.BMP"), make_archive({make_image(4, 4, 6)}));
  EXPECT_EQ(load_file(root_ + "/elsewhere/deep/target/00000000.BMP"),
            make_image(4, 4, 1));
  EXPECT_EQ(get("LINKED/00000000.BMP"), make_image(4, 4, 5));
  EXPECT_FALSE(fs::exists(root_ + "/elsewhere/deep/LINKED"));
  // Made as the umask says.
  EXPECT_EQ(fs::status(path("LINKED")).permissions(), fs::perms(0755));
  EXPECT_EQ(fs::status(path("LINKED/00000000.BMP")).permissions(), fs::perms(0644));
}

TEST_F(Surroundings, OpensAndWritesIntoRegularFilesOnly) {
  // In archives' places: passed over, never waited on.
  ASSERT_EQ(mkfifo(path("PIPE.IXF").c_str(), 0644), 0);
  // One put in an archive's place after the search is refused at the open.
  file_id id;
  EXPECT_EQ(fs_open_archive(path("PIPE.IXF").c_str(), &id), -1);
  // A socket as a server that has gone leaves it, open to no one.
  ASSERT_EQ(mknod(path("SOCK.IXF").c_str(), S_IFSOCK | 0644, 0), 0);
  fs::create_directory(path("DIR.IXF"));
  fs::create_symlink("DIR.IXF", path("TODIR.IXF"));
  fs::create_symlink("nowhere", path("DANGLING.IXF"));
  put(".HIDDEN.IXF", make_archive({make_image(4, 4, 0)}));
  // In images' places: replaced by the image, what a link leads to left
  // alone, whatever else names a file left whole (the archive too).
  std::vector<std::string> images;
  for (unsigned i = 0; i < 9; i++)
    images.push_back(make_image(4, 4, i));
  put("A.IXF", make_archive(images));
  fs::create_directory(path("A"));
  auto image = [&](int i) { return path("A/0000000" + std::to_string(i) + ".BMP"); };
  save_file(root_ + "/victim", "precious");
  fs::create_symlink(root_ + "/victim", image(0));
  fs::create_symlink(root_ + "/absent", image(1));
  ASSERT_EQ(mkfifo(image(2).c_str(), 0644), 0);  // nothing reads it
  ASSERT_EQ(mkfifo(image(3).c_str(), 0644), 0);  // read by this test
  int reader = open(image(3).c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_EQ(mknod(image(4).c_str(), S_IFSOCK | 0644, 0), 0);
  // A device that would swallow the image, where we may make one.
  if (mknod(image(5).c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
    save_file(image(5), "a regular file, when no device can be made");
  // A file longer than the image, of another mode: emptied and written in
  // place, so that its mode stays.
  save_file(image(6), std::string(1000, 'x'));
  chmod(image(6).c_str(), 0600);
  fs::create_hard_link(root_ + "/victim", image(7));
  fs::create_hard_link(path("A.IXF"), image(8));
  run_result r = run();
  close(reader);
  EXPECT_EQ(r.out, progress("A.IXF", 9) + done);
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char *folder : {"PIPE", "SOCK", "DIR", "TODIR", "DANGLING", ".HIDDEN"})
    EXPECT_FALSE(fs::exists(fs::symlink_status(path(folder)))) << folder;
  EXPECT_EQ(load_file(root_ + "/victim"), "precious");
  EXPECT_FALSE(fs::exists(root_ + "/absent"));
  for (int i = 0; i < 9; i++) {
    // Read only once known regular: a FIFO left there would block.
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(image(i)))) << i;
    EXPECT_EQ(load_file(image(i)), images[size_t(i)]) << i;
  }
  EXPECT_EQ(get("A.IXF"), make_archive(images));
  EXPECT_EQ(fs::status(image(6)).permissions(), fs::perms(0600));
}

// The console as users leave it: a file or pipe that fails, a terminal.

TEST_F(Surroundings, WritesItsTextAsEachOutputWantsItAndReportsOneThatFails) {
  program_ = VELDOR_FAULTS_PROGRAM;  // veldor, but for the interrupted run
  // A space, a no-break space, U+0378, which is unassigned, U+2028, which
  // ends a line, and an accent of no width; then the controls of the
  // text's direction, which would reorder the line, each beside what shows
  // as itself (U+061B, U+061C, U+200D to U+200F, U+202A, U+202E, U+202F,
  // U+2066, U+2069, U+206A): 47 bytes, 19 columns, 22 characters.  Then 悂
  // (whose last bytes are 0x82), two columns wide, and ESC, BEL, U+001F,
  // DEL, U+0080 and U+009F, which may drive a terminal: 15 bytes, 12
  // columns, 11 characters.
  const std::string bidi = "\xD8\x9B\xD8\x9C\xE2\x80\x8D\xE2\x80\x8E\xE2\x80\x8F\xE2\x80\xAA\xE2\x80\xAE"
                           "\xE2\x80\xAF\xE2\x81\xA6\xE2\x81\xA9\xE2\x81\xAA";
  const std::string first = "A B\xC2\xA0\xCD\xB8\xE2\x80\xA8\xCC\x81" + bidi + ".IXF";
  const std::string name = "\xE6\x82\x82\x1B\a\x1F\x7F\xC2\x80\xC2\x9F.IXF";
  const std::string folder = name.substr(0, name.size() - 4);
  const std::string as_ascii[] = {"A B" + std::string(40, '?') + ".IXF", "???????????.IXF"};
  std::string utf8_done = "\r\nEx\xC3\xA9" "cution achev\xC3\xA9" "e.";
  struct {
    output_kind output;
    const char *setting;     // where standard output goes, or the setting
    std::string shown[2];    // the names as shown, padded
    int images;              // 40 fill several 512-byte blocks, 1 none
    std::string end;         // the end of the text, or the error
  } cases[] = {
      // Files and pipes get the bytes, in 512-byte blocks; a socket that
      // keeps each write apart stands for them.
      {output_packets, "LC_ALL=C.UTF-8", {first, name}, 40, done},
      // A terminal, its text in its character set, what it cannot print
      // as "?", names padded to 13 columns; the prompt after the text on
      // a line of its own.
      {output_terminal, "LC_ALL=C.UTF-8",
       {"A B\xC2\xA0??\xCC\x81\xD8\x9B?\xE2\x80\x8D????\xE2\x80\xAF??\xE2\x81\xAA.IXF", "\xE6\x82\x82??????.IXF "}, 40,
       utf8_done + "\r\n"},
      {output_terminal, "LC_ALL=C", {as_ascii[0], as_ascii[1]}, 40,
       done + std::string("\r\n")},
      // Ended by an interrupt before its last message, which skips the
      // exit's flush: each count already shows.
      {output_terminal, "VELDOR_FAULTS=term_write:stdout@46=abort",
       {as_ascii[0], as_ascii[1]}, 40, ""},
      // An output that fails: reported once every image is written.
      {output_closed_pipe, "LC_ALL=C", {}, 40, "Broken pipe"},
      {output_file, "/dev/full", {}, 40, "No space left on device"},
      // At the exit's flush.
      {output_file, "/dev/full", {}, 1, "No space left on device"},
  };
  put(first, make_archive({make_image(4, 4, 2)}));
  for (const auto &c : cases) {
    if (c.output == output_file && !fs::exists(c.setting))
      GTEST_SKIP() << "no " << c.setting << " here: its cases did not run";
    put(name, make_archive(std::vector<std::string>(size_t(c.images),
                                                    make_image(4, 4, 1))));
    run_options options;
    options.output = c.output;
    options.stdout_path = c.output == output_file ? c.setting : "";
    options.environment = {"LC_ALL=C",
                           c.output == output_file ? "LC_ALL=C" : c.setting};
    bool fails = c.output == output_file || c.output == output_closed_pipe;
    run_result r = fails ? run_program(program_, work_, options) : run(options);
    EXPECT_EQ(r.status, fails ? 255 : c.end.empty() ? -1 : 0) << c.end;
    if (fails)
      EXPECT_EQ(r.err, report(c.end));
    else
      EXPECT_EQ(r.out, progress(c.shown[0], 1) + progress(c.shown[1], c.images) +
                           c.end);
    char last[32];
    snprintf(last, sizeof last, "/%08d.BMP", c.images - 1);
    EXPECT_EQ(get(folder + last), make_image(4, 4, 1)) << c.end;
    EXPECT_TRUE(c.output != output_packets || r.writes.size() > 3);
    for (size_t i = 0; c.output == output_packets && i + 1 < r.writes.size(); i++)
      EXPECT_EQ(r.writes[i], 512u) << "write " << i;
  }
}

}  // namespace
