// Runs test code in a forked child whose standard streams are redirected, so that console tests
// neither disturb nor depend on the test runner's own terminal.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/console/terminal_charset.h"

namespace test_support {

struct ChildRun {
  std::string out;     // what the child wrote to standard output
  std::string err;     // ... and to standard error
  std::string report;  // what the child's body returned
  int status = -1;     // waitpid status
  [[nodiscard]] bool exited_cleanly() const {
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
};

inline std::string read_whole(std::FILE* file) {
  std::string bytes;
  std::rewind(file);
  char chunk[4096];
  std::size_t count;
  while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    bytes.append(chunk, count);
  std::fclose(file);
  return bytes;
}

// Runs `child` in a forked process (its result becomes the report) while the parent runs
// `parent`, if given; then collects what the child wrote. The child's standard input is a pipe
// holding `input`, then its end; `locale` is its LC_ALL, which the terminal charset follows. A
// child that hangs is ended by alarm.
inline ChildRun run_in_child(std::string_view input, const char* locale,
                             const std::function<std::string()>& child,
                             const std::function<void()>& parent = {}) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  std::FILE* report = std::tmpfile();
  int input_pipe[2];
  if (!out || !err || !report || ::pipe(input_pipe) != 0) std::abort();
  // Small inputs fit the pipe; the child reads them at its own pace.
  if (::write(input_pipe[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
    std::abort();
  }
  ::close(input_pipe[1]);
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(20);
    ::setenv("LC_ALL", locale, 1);
    redetect_terminal_charset();
    ::dup2(input_pipe[0], STDIN_FILENO);
    ::dup2(::fileno(out), STDOUT_FILENO);
    ::dup2(::fileno(err), STDERR_FILENO);
    const std::string result = child();
    (void)!::write(::fileno(report), result.data(), result.size());
    ::_exit(0);
  }
  ::close(input_pipe[0]);
  if (parent) parent();
  ChildRun run;
  ::waitpid(pid, &run.status, 0);
  run.out = read_whole(out);
  run.err = read_whole(err);
  run.report = read_whole(report);
  return run;
}

// A loopback TCP connection whose sending end takes only a few bytes at a time: tiny buffers, a
// non-blocking sender and a receiver that reads in small bites with pauses. Writes to the sender
// come back partial.
class SlowConnection {
 public:
  SlowConnection() {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const int tiny = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      std::abort();
    }
    sender_ = ::socket(AF_INET, SOCK_STREAM, 0);
    ::setsockopt(sender_, SOL_SOCKET, SO_SNDBUF, &tiny, sizeof tiny);
    if (::connect(sender_, reinterpret_cast<sockaddr*>(&address), length) != 0) std::abort();
    receiver_ = ::accept(listener, nullptr, nullptr);
    ::close(listener);
    ::fcntl(sender_, F_SETFL, ::fcntl(sender_, F_GETFL) | O_NONBLOCK);
  }
  ~SlowConnection() {
    if (sender_ >= 0) ::close(sender_);
    ::close(receiver_);
  }
  SlowConnection(const SlowConnection&) = delete;
  SlowConnection& operator=(const SlowConnection&) = delete;

  [[nodiscard]] int sender() const { return sender_; }

  // Closes this process's sending end, then receives everything until the other senders close.
  std::string receive_slowly() {
    ::close(std::exchange(sender_, -1));
    std::string received;
    char bite[97];
    ssize_t count;
    while ((count = ::read(receiver_, bite, sizeof bite)) > 0) {
      received.append(bite, static_cast<std::size_t>(count));
      ::usleep(200);
    }
    return received;
  }

 private:
  int sender_ = -1;
  int receiver_ = -1;
};

}  // namespace test_support
