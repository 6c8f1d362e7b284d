// What the end-to-end drivers share: how a built program is started, and what a finished run
// gives back.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace test_support {

struct RunOptions {
  std::vector<std::string> arguments = {};
  // The program's LC_ALL, and so its terminal character set ("zh_CN.GBK" for GBK).
  std::string locale = "C.UTF-8";
  // How long the program may run before it is killed.
  std::chrono::milliseconds time_limit{30'000};
  // Start the program without a standard input at all (descriptor 0 closed); pipes only.
  bool without_standard_input = false;
};

struct ProgramRun {
  std::string out, err;    // all the program wrote (through a terminal: `out` is the screen)
  int exit_code = -1;      // the exit status, or 128 plus the number of the signal that ended it
  bool timed_out = false;  // the time limit ran out and the program was killed
};

// The program's argument vector and environment: this process's environment with every locale
// variable replaced by LC_ALL=`locale`. Both hold the strings whose c_str() the vectors point at.
struct ChildCommand {
  std::vector<std::string> strings;
  std::vector<char*> argv, envp;
};
[[nodiscard]] ChildCommand child_command(const std::string& program, const RunOptions& options);

// The exit code of a wait status, as ProgramRun gives it.
[[nodiscard]] int exit_code_of(int wait_status);

// The number of characters at the start of `bytes` that make up its first character: a UTF-8
// sequence, or a GBK double-byte character when `gbk`.
[[nodiscard]] std::size_t first_character_length(const std::string& bytes, bool gbk);

}  // namespace test_support
