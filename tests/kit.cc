// The test kit's shared half; kit-posix.cc and kit-win32.cc start the
// program.
#include "kit.h"

#include <algorithm>
#include <cstring>

#include "filesys.h"

std::string verbatim_path(const std::string &path) {
  return windows ? "\\\\?\\" + fs::absolute(fs::u8path(path)).make_preferred().u8string()
                 : path;
}

run_result run_program(const std::string &program, const std::string &dir,
                       const run_options &options) {
  std::string out_path = options.stdout_path.empty() ? dir + "/../stdout"
                                                     : options.stdout_path;
  std::string err_path = dir + "/../stderr";
  run_result result;
  result.status = spawn_program(program, dir, out_path, err_path, options, &result);
  if (options.output == output_file && options.stdout_path.empty())
    result.out = load_file(out_path);
  if (!options.merge_streams)
    result.err = load_file(err_path);
  return result;
}

std::string progress(const std::string &name, int count) {
  std::string pad(name.size() < 13 ? 13 - name.size() : 0, ' ');
  std::string head = "Traitement de " + name + pad + "...";
  std::string line = "\r\n" + head;
  for (int n = 1; n <= count; n++) {
    char tail[64];
    snprintf(tail, sizeof tail, "%3d fichier%s extrait%s.", n,
             n > 1 ? "s" : "", n > 1 ? "s" : "");
    line += "\r" + head + tail;
  }
  return line;
}

void TempFolder::SetUp() {
  root_ = make_temp_dir();
  work_ = root_ + "/work";
  fs::create_directory(fs::u8path(work_));
}

// Removes |p| and what it holds, each entry tried once: what cannot be
// removed stays.  (An archive that a failed extraction left open in the
// test's process is one: Windows keeps its name until the process ends,
// and std::filesystem::remove_all, finding it again, tries it for ever.)
void remove_tree(const fs::path &p) {
  std::error_code ignored;
  for (fs::directory_iterator i(fs::is_symlink(p, ignored) ? "" : p, ignored), end;
       i != end; i.increment(ignored))
    remove_tree(i->path());
  fs::remove(p, ignored);
}

void TempFolder::TearDown() {
  // Paths past 260 characters defeat some runtimes (Wine's among them),
  // and stay in the temporary folder.  A file named like a device is
  // removed by its verbatim path.
  if (!root_.empty())  // a test skipped before its SetUp has none
    remove_tree(fs::u8path(verbatim_path(root_)));
}

void StreamTest::TearDown() {
  for (archive_stream &s : open_)
    stream_close(&s);
  TempFolder::TearDown();
}

archive_stream *StreamTest::open(const std::string &bytes, size_t capacity,
                                 int64_t offset) {
  std::string name = path(std::to_string(open_.size()));
  EXPECT_EQ(save_file(name, bytes, offset), 0);
  open_.emplace_back();
  archive_stream *s = &open_.back();
  memset(s, 0xA5, sizeof *s);  // as a stream on the stack starts
  EXPECT_EQ(stream_open(s, name.c_str()), 0) << name;
  if (capacity > 0) {
    buffers_.emplace_back(capacity);
    stream_attach(s, s->file, buffers_.back().data(), capacity);
  }
  return s;
}

run_result ProgramTest::run(const run_options &options) {
  run_result r = run_program(program_, work_, options);
  std::string head = banner_head;
  size_t credit_end = std::min(r.out.find_first_of("\r\n", head.size()),
                               r.out.size());
  EXPECT_EQ(r.out.substr(0, head.size()), head);
  EXPECT_EQ(r.out.substr(credit_end, 2), "\r\n");
  r.out.erase(0, credit_end + 2);
  return r;
}
