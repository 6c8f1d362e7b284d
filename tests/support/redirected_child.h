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

#include "platform/console/terminal_charset.h"

namespace test_support {

struct ChildRun {
  std::string out, err, report;  // standard output, standard error, the child's returned text
};

inline std::string read_all(int descriptor) {
  std::string bytes;
  char chunk[4096];
  for (ssize_t count; (count = ::read(descriptor, chunk, sizeof chunk)) > 0;)
    bytes.append(chunk, static_cast<std::size_t>(count));
  ::close(descriptor);
  return bytes;
}

inline std::string read_file(std::FILE* file) {
  std::rewind(file);
  std::string bytes = read_all(::dup(::fileno(file)));
  std::fclose(file);
  return bytes;
}

// Runs `child` in a forked process whose standard input is a pipe holding `input` and then its
// end, and whose LC_ALL (and so terminal charset) is `locale`, while the parent runs `parent`.
// The report is what `child` returns; a child that hangs is ended by alarm and reports nothing.
inline ChildRun run_in_child(std::string_view input, const char* locale,
                             const std::function<std::string()>& child,
                             const std::function<void()>& parent = {}) {
  std::FILE* files[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};  // out, err, report
  int input_pipe[2];
  if (::pipe(input_pipe) != 0 || ::write(input_pipe[1], input.data(), input.size()) < 0) abort();
  ::close(input_pipe[1]);
  std::fflush(nullptr);
  if (::fork() == 0) {
    ::alarm(20);
    ::setenv("LC_ALL", locale, 1);
    redetect_terminal_charset();
    ::dup2(input_pipe[0], STDIN_FILENO);
    ::dup2(::fileno(files[0]), STDOUT_FILENO);
    ::dup2(::fileno(files[1]), STDERR_FILENO);
    const std::string report = child();
    (void)!::write(::fileno(files[2]), report.data(), report.size());
    ::_exit(0);
  }
  ::close(input_pipe[0]);
  if (parent) parent();
  ::wait(nullptr);
  return {read_file(files[0]), read_file(files[1]), read_file(files[2])};
}

// A loopback TCP connection whose non-blocking sending end has tiny buffers, and whose receiver
// reads in small bites with pauses: writes to the sender come back partial.
struct SlowConnection {
  int sender = ::socket(AF_INET, SOCK_STREAM, 0);
  int receiver = -1;

  SlowConnection() {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0), tiny = 1;
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    auto* any = reinterpret_cast<sockaddr*>(&address);
    ::setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny);
    ::setsockopt(sender, SOL_SOCKET, SO_SNDBUF, &tiny, sizeof tiny);
    if (::bind(listener, any, length) || ::listen(listener, 1) ||
        ::getsockname(listener, any, &length) || ::connect(sender, any, length)) {
      abort();
    }
    receiver = ::accept(listener, nullptr, nullptr);
    ::close(listener);
    ::fcntl(sender, F_SETFL, O_NONBLOCK);
  }

  // Closes this process's sending end and receives until every other copy of it is closed.
  std::string receive_slowly() {
    ::close(sender);
    std::string received;
    char bite[97];
    for (ssize_t count; (count = ::read(receiver, bite, sizeof bite)) > 0; ::usleep(200))
      received.append(bite, static_cast<std::size_t>(count));
    ::close(receiver);
    return received;
  }
};

}  // namespace test_support
