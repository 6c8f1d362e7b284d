#include "tests/support/piped_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace test_support {

namespace {

void close_descriptor(int& descriptor) {
  if (descriptor >= 0) ::close(descriptor);
  descriptor = -1;
}

// Appends what can be read from `descriptor` now; closes it at its end.
void drain(int& descriptor, std::string& into) {
  char chunk[65536];
  for (;;) {
    const ssize_t count = ::read(descriptor, chunk, sizeof chunk);
    if (count > 0) {
      into.append(chunk, static_cast<std::size_t>(count));
    } else if (count < 0 && (errno == EINTR)) {
      continue;
    } else {
      if (count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) close_descriptor(descriptor);
      return;
    }
  }
}

}  // namespace

ProgramRun run_with_input(const std::string& program, std::string_view input,
                          const RunOptions& options) {
  PipedProgram running(program, options);
  running.send(input);
  return running.finish();
}

PipedProgram::PipedProgram(const std::string& program, const RunOptions& options)
    : deadline_(Clock::now() + options.time_limit) {
  ::signal(SIGPIPE, SIG_IGN);  // a program that ends early must not end the test with it
  int input[2], output[2], errors[2];
  if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0 ||
      ::pipe2(errors, O_CLOEXEC) != 0) {
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (options.without_standard_input) {
    posix_spawn_file_actions_addclose(&actions, STDIN_FILENO);
  } else {
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
  }
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
  ChildCommand command = child_command(program, options);
  if (::posix_spawn(&pid_, program.c_str(), &actions, &attributes, command.argv.data(),
                    command.envp.data()) != 0) {
    pid_ = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(input[0]);
  ::close(output[1]);
  ::close(errors[1]);
  input_ = input[1];
  output_ = output[0];
  errors_ = errors[0];
  for (int descriptor : {input_, output_, errors_})
    ::fcntl(descriptor, F_SETFL, O_NONBLOCK);
}

PipedProgram::~PipedProgram() {
  if (started() && !ended_) {
    ::kill(-pid_, SIGKILL);
    reap(true);
  }
  for (int* descriptor : {&input_, &output_, &errors_})
    close_descriptor(*descriptor);
}

void PipedProgram::send(std::string_view bytes) {
  pending_input_.append(bytes);
}

void PipedProgram::signal(int number) {
  if (started() && !ended_) ::kill(pid_, number);
}

void PipedProgram::close_input() {
  input_closing_ = true;
}

bool PipedProgram::wait_for_output(std::string_view text, std::chrono::milliseconds limit) {
  const Clock::time_point until = std::min(deadline_, Clock::now() + limit);
  for (;;) {
    const std::size_t found = run_.out.find(text, seen_);
    if (found != std::string::npos) {
      seen_ = found + text.size();
      return true;
    }
    if (output_ < 0 || Clock::now() >= until) return false;
    pump(until);
  }
}

ProgramRun PipedProgram::finish() {
  close_input();
  while (started() && (output_ >= 0 || errors_ >= 0 || !ended_)) {
    if (Clock::now() >= deadline_) {
      run_.timed_out = true;
      ::kill(-pid_, SIGKILL);
      reap(true);
      break;
    }
    pump(std::min(deadline_, Clock::now() + std::chrono::milliseconds(50)));
    reap(false);
  }
  for (int* descriptor : {&input_, &output_, &errors_})
    close_descriptor(*descriptor);
  return run_;
}

void PipedProgram::pump(Clock::time_point until) {
  if (pending_input_.empty() && input_closing_) close_descriptor(input_);
  pollfd ready[3] = {{pending_input_.empty() ? -1 : input_, POLLOUT, 0},
                     {output_, POLLIN, 0},
                     {errors_, POLLIN, 0}};
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
  if (::poll(ready, 3, static_cast<int>(std::max<long>(0, wait.count()))) <= 0) return;
  if (ready[0].revents & (POLLOUT | POLLERR)) {
    const ssize_t written = ::write(input_, pending_input_.data(), pending_input_.size());
    if (written > 0) {
      pending_input_.erase(0, static_cast<std::size_t>(written));
    } else if (errno == EPIPE) {
      pending_input_.clear();
      close_descriptor(input_);
    }
  }
  if (ready[1].revents) drain(output_, run_.out);
  if (ready[2].revents) drain(errors_, run_.err);
}

void PipedProgram::reap(bool wait) {
  if (ended_) return;
  int status = 0;
  const pid_t reaped = ::waitpid(pid_, &status, wait ? 0 : WNOHANG);
  if (reaped != pid_) return;
  ended_ = true;
  run_.exit_code = exit_code_of(status);
}

}  // namespace test_support
