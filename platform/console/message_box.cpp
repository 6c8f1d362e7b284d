#include "platform/console/message_box.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/console/console.h"
#include "platform/console/terminal_charset.h"

namespace {

void write_all(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

int MessageBoxA(void*, const char* text, const char* caption, std::uint32_t) {
  // What was printed to standard error before the box comes before it, a held lead byte included.
  FlushFileBuffers(GetStdHandle(STD_ERROR_HANDLE));
  std::string box = caption ? caption : "";
  box += ": ";
  box += text ? text : "";
  box += "\n";
  write_all(STDERR_FILENO, gbk_to_terminal(box));
  return IDOK;
}
