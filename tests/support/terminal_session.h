// Runs a built program as a person does: on a pseudo-terminal, with keys typed one at a time and
// the screen read back (with the terminal's echo and line ends, as a person sees them).
//
//   TerminalSession session(kProgram);
//   ASSERT_TRUE(session.wait_for(prompt));
//   session.type("keyword\r");
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <string>
#include <string_view>

#include "tests/support/program_run.h"

namespace test_support {

class TerminalSession {
 public:
  // Starts `program` as the leader of a new session whose controlling terminal is a fresh
  // pseudo-terminal of 80 by 24; started() says whether it could.
  explicit TerminalSession(const std::string& program, const RunOptions& options = {});
  // Hangs up and kills the program if it still runs.
  ~TerminalSession();
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  [[nodiscard]] bool started() const { return pid_ > 0; }

  // Types `keys` one character at a time with a short pause after each, as a person types (Enter
  // is "\r", end of input at the start of a line is "\x04"). Characters are UTF-8, or GBK when the
  // session's locale is a GBK one.
  void type(std::string_view keys);

  // Waits until the screen shows `text` after the end of the last text waited for, and moves past
  // it; false when the terminal closes or `limit` runs out first.
  bool wait_for(std::string_view text,
                std::chrono::milliseconds limit = std::chrono::milliseconds(10'000));

  [[nodiscard]] const std::string& screen() const { return run_.out; }

  // The terminal's modes now, or as they were when it closed (when every program holding it has
  // ended); and a change of them, as a person's stty makes one.
  [[nodiscard]] termios modes() const;
  void set_modes(const termios& modes);

  // Waits for the program to end (killing it when its time limit runs out) and reads the rest of
  // the screen.
  ProgramRun finish();

 private:
  using Clock = std::chrono::steady_clock;
  // Reads what the terminal shows, waiting up to `until` for something to come.
  void read_screen(Clock::time_point until);
  void reap(bool wait);

  pid_t pid_ = -1;
  int terminal_ = -1;
  bool gbk_ = false, ended_ = false;
  std::size_t seen_ = 0;
  Clock::time_point deadline_;
  ProgramRun run_;
  termios modes_at_close_{};
};

}  // namespace test_support
