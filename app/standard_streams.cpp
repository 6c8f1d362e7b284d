#include "app/standard_streams.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "runtime/console_io.h"
#include "runtime/memory.h"

namespace {

// False when a write failed, with errno saying why.
bool write_all(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

void write_standard_output(std::string_view bytes) {
  if (!write_all(STDOUT_FILENO, bytes)) end_for_lost_output(errno);
}

void write_standard_error(std::string_view bytes) {
  (void)write_all(STDERR_FILENO, bytes);
}

void check_console_output() {
  if (const int error = console_output_error(); error != 0) end_for_lost_output(error);
}

void end_for_lost_output(int error_number) {
  if (error_number == EPIPE) {
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);
  }
  write_standard_error(std::string("songsearch: cannot write standard output: ")
                           .append(std::strerror(error_number))
                           .append("\n"));
  exit_program(1);
}
