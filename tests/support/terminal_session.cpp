#include "tests/support/terminal_session.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace test_support {

namespace {

constexpr auto kPauseBetweenKeys = std::chrono::milliseconds(15);

bool is_gbk_locale(std::string locale) {
  std::transform(locale.begin(), locale.end(), locale.begin(), ::tolower);
  return locale.find("gbk") != std::string::npos || locale.find("gb18030") != std::string::npos;
}

}  // namespace

TerminalSession::TerminalSession(const std::string& program, const RunOptions& options)
    : gbk_(is_gbk_locale(options.locale)), deadline_(Clock::now() + options.time_limit) {
  ChildCommand command = child_command(program, options);  // made before fork: the child only execs
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 80;
  pid_ = ::forkpty(&terminal_, nullptr, nullptr, &size);
  if (pid_ == 0) {
    ::execve(program.c_str(), command.argv.data(), command.envp.data());
    ::_exit(127);
  }
}

TerminalSession::~TerminalSession() {
  if (terminal_ >= 0) ::close(terminal_);
  if (started() && !ended_) {
    ::kill(pid_, SIGKILL);
    reap(true);
  }
}

void TerminalSession::type(std::string_view keys) {
  std::string rest(keys);
  while (!rest.empty() && terminal_ >= 0) {
    const std::size_t length = first_character_length(rest, gbk_);
    if (::write(terminal_, rest.data(), length) != static_cast<ssize_t>(length)) return;
    rest.erase(0, length);
    const Clock::time_point pause_end = Clock::now() + kPauseBetweenKeys;
    while (terminal_ >= 0 && Clock::now() < pause_end)
      read_screen(pause_end);
  }
}

bool TerminalSession::wait_for(std::string_view text, std::chrono::milliseconds limit) {
  const Clock::time_point until = std::min(deadline_, Clock::now() + limit);
  for (;;) {
    const std::size_t found = run_.out.find(text, seen_);
    if (found != std::string::npos) {
      seen_ = found + text.size();
      return true;
    }
    if (terminal_ < 0 || Clock::now() >= until) return false;
    read_screen(until);
  }
}

termios TerminalSession::modes() const {
  termios modes = modes_at_close_;
  if (terminal_ >= 0) ::tcgetattr(terminal_, &modes);
  return modes;
}

void TerminalSession::set_modes(const termios& modes) {
  if (terminal_ >= 0) ::tcsetattr(terminal_, TCSANOW, &modes);
}

ProgramRun TerminalSession::finish() {
  while (started() && !ended_) {
    if (Clock::now() >= deadline_) {
      run_.timed_out = true;
      ::kill(pid_, SIGKILL);
      reap(true);
      break;
    }
    read_screen(std::min(deadline_, Clock::now() + std::chrono::milliseconds(50)));
    reap(false);
  }
  // What the program wrote before it ended, until the terminal closes.
  while (terminal_ >= 0 && Clock::now() < deadline_)
    read_screen(deadline_);
  return run_;
}

void TerminalSession::read_screen(Clock::time_point until) {
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
  pollfd ready{terminal_, POLLIN, 0};
  if (terminal_ < 0 || ::poll(&ready, 1, static_cast<int>(std::max<long>(0, wait.count()))) <= 0) {
    return;
  }
  char chunk[4096];
  const ssize_t count = ::read(terminal_, chunk, sizeof chunk);
  if (count > 0) {
    run_.out.append(chunk, static_cast<std::size_t>(count));
  } else if (count == 0 || errno != EINTR) {  // EIO: every holder of the terminal has closed it
    ::tcgetattr(terminal_, &modes_at_close_);
    ::close(terminal_);
    terminal_ = -1;
  }
}

void TerminalSession::reap(bool wait) {
  if (ended_) return;
  int status = 0;
  if (::waitpid(pid_, &status, wait ? 0 : WNOHANG) != pid_) return;
  ended_ = true;
  run_.exit_code = exit_code_of(status);
}

}  // namespace test_support
