// Runs a built program as a script does: its standard input, output and error are pipes. Lines are
// fed in, output is collected byte for byte, and the end of input is a closed pipe.
//
//   const ProgramRun run = run_with_input(kProgram, "keyword\n\n");
//   EXPECT_EQ(run.exit_code, 0);
//
// PipedProgram drives a longer session step by step (feed a line, wait for an answer, look at
// the process), for example a soak of many searches.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>

#include "tests/support/program_run.h"

namespace test_support {

// Runs `program` with `input` on its standard input, which then ends, until it ends or its time
// limit runs out.
[[nodiscard]] ProgramRun run_with_input(const std::string& program, std::string_view input,
                                        const RunOptions& options = {});

class PipedProgram {
 public:
  // Starts `program` in a process group of its own; started() says whether it could.
  explicit PipedProgram(const std::string& program, const RunOptions& options = {});
  // Kills the program's process group if the program still runs.
  ~PipedProgram();
  PipedProgram(const PipedProgram&) = delete;
  PipedProgram& operator=(const PipedProgram&) = delete;

  [[nodiscard]] bool started() const { return pid_ > 0; }
  [[nodiscard]] pid_t pid() const { return pid_; }

  // Queues `bytes` for standard input; they go as the program reads them.
  void send(std::string_view bytes);
  // Ends standard input once what was queued has gone.
  void close_input();
  // Sends signal `number` to the program while it runs.
  void signal(int number);

  // Waits until standard output shows `text` after the end of the last text waited for, and
  // moves past it; false when output ends or `limit` runs out first.
  bool wait_for_output(std::string_view text,
                       std::chrono::milliseconds limit = std::chrono::milliseconds(10'000));

  [[nodiscard]] const std::string& out() const { return run_.out; }
  [[nodiscard]] const std::string& err() const { return run_.err; }

  // Ends standard input, waits for the program to end (killing it when its time limit runs out)
  // and for its output to close, and gives the whole run.
  ProgramRun finish();

 private:
  using Clock = std::chrono::steady_clock;
  // One round of moving bytes: waits up to `until` for a pipe to be ready.
  void pump(Clock::time_point until);
  void reap(bool wait);

  pid_t pid_ = -1;
  int input_ = -1, output_ = -1, errors_ = -1;
  std::string pending_input_;
  bool input_closing_ = false, ended_ = false;
  std::size_t seen_ = 0;
  Clock::time_point deadline_;
  ProgramRun run_;
};

}  // namespace test_support
