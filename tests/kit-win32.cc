// Starting the program on Windows.
#include "kit.h"

#include <cstdlib>

#include <windows.h>

namespace {

std::wstring wide(const std::string &utf8) {
  return fs::u8path(utf8).wstring();
}

// A new file |path| that the program inherits to write into.
HANDLE create_output(const std::string &path) {
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  return CreateFileW(wide(path).c_str(), GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int spawn_program(const std::string &program, const std::string &dir,
                  const std::string &out_path, const std::string &err_path,
                  const run_options &options, run_result *) {
  if (options.file_size_limit >= 0 || options.open_files_limit >= 0 ||
      !options.wrapper.empty() || options.output == output_packets ||
      options.output == output_closed_pipe) {
    ADD_FAILURE() << "the Windows runner has no limits, wrappers, sockets or pipes";
    return -1;
  }
  // output_terminal: the program writes to this test's console, which it
  // inherits with the standard input, unless that is to be closed.
  bool console = options.output == output_terminal;
  STARTUPINFOW start = {};
  start.cb = sizeof start;
  start.dwFlags = console && !options.stdin_closed ? 0 : STARTF_USESTDHANDLES;
  if (!options.stdin_closed)
    DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_INPUT_HANDLE),
                    GetCurrentProcess(), &start.hStdInput, 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
  start.hStdOutput = console ? GetStdHandle(STD_OUTPUT_HANDLE) : create_output(out_path);
  start.hStdError = console ? GetStdHandle(STD_ERROR_HANDLE)
                    : options.merge_streams ? start.hStdOutput
                                            : create_output(err_path);
  // The program inherits the environment: set for it, and unset after.
  for (const std::string &setting : options.environment)
    _wputenv(wide(setting).c_str());
  std::wstring command = L"\"" + wide(program) + L"\"";
  PROCESS_INFORMATION process;
  DWORD status = 0;
  bool started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0,
                                nullptr, wide(dir).c_str(), &start, &process);
  if (started) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  for (const std::string &setting : options.environment)
    _wputenv(wide(setting.substr(0, setting.find('=') + 1)).c_str());
  if (start.hStdInput)
    CloseHandle(start.hStdInput);
  if (!console) {
    CloseHandle(start.hStdOutput);
    if (!options.merge_streams)
      CloseHandle(start.hStdError);
  }
  // Statuses are compared as POSIX sees them: the low eight bits.
  return started ? int(status & 0xFF) : -1;
}
