#include "runtime/console_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/console/console.h"
#include "runtime/text_blocks.h"
#include "runtime/value_to_text.h"

namespace {

constexpr std::uint32_t kWritePieceLimit = 1024;

int output_error = 0;  // console_output_error

// Writes `bytes` in pieces, each continuing where the last write stopped. A failed or zero-byte
// write gives up on the rest: retrying could loop forever. False when it gave up, with errno
// saying why.
bool write_in_pieces(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kWritePieceLimit));
    DWORD written = 0;
    errno = 0;
    if (handle == nullptr) errno = EBADF;
    if (!WriteFile(handle, bytes.data(), piece, &written, nullptr) || written == 0) {
      if (errno == 0) errno = EIO;
      return false;
    }
    bytes.remove_prefix(std::min<std::size_t>(written, piece));
  }
  return true;
}

bool selects_standard_error(TypedArgs args) {
  return !args.empty() && !args[0].omitted() && args[0].word1() == 2;
}

// The line as ReadConsoleA delivered it, up to a NUL or its first CR or LF.
std::size_t line_length(const char* buffer, DWORD count) {
  const char* end = buffer + count;
  return static_cast<std::size_t>(
      std::find_if(buffer, end, [](char c) { return c == '\0' || c == '\r' || c == '\n'; }) -
      buffer);
}

bool holds_line_end(const char* buffer, DWORD count) {
  return std::memchr(buffer, '\n', count) != nullptr;
}

// Reads on to the end of a line whose start has been taken, and drops what comes: a line is one
// keyword, and the rest of a long one must not become the next lines.
void drop_rest_of_line(HANDLE input) {
  char scratch[kConsoleReadLimit];
  DWORD count = 0;
  while (ReadConsoleA(input, scratch, kConsoleReadLimit, &count, nullptr) && count > 0) {
    if (holds_line_end(scratch, count)) return;
  }
}

ConsoleInput read_line_with_echo(LineUse use) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr) return {{}, ConsoleReadStatus::unreadable};
  char buffer[kConsoleReadLimit];
  DWORD count = 0;
  if (!ReadConsoleLine(input, buffer, kConsoleReadLimit, &count, use)) {
    return {{}, ConsoleReadStatus::unreadable};
  }
  if (count == 0) return {{}, ConsoleReadStatus::end_of_input};
  if (!holds_line_end(buffer, count)) drop_rest_of_line(input);
  const auto length = static_cast<std::int32_t>(line_length(buffer, count));
  return {text_from_buffer(buffer, length), ConsoleReadStatus::read};
}

ConsoleInput read_keys_without_echo() {
  char buffer[kConsoleReadLimit];
  std::uint32_t stored = 0;
  while (stored < kConsoleReadLimit) {
    const int key = _getch();
    if (key == kGetchEndOfInput) {
      if (stored == 0) return {{}, ConsoleReadStatus::end_of_input};
      break;
    }
    if (key == '\r') break;
    buffer[stored++] = static_cast<char>(key);
  }
  return {text_from_buffer(buffer, static_cast<std::int32_t>(stored)), ConsoleReadStatus::read};
}

}  // namespace

void console_print(TypedArgs args) {
  const bool to_error = selects_standard_error(args);
  HANDLE output = GetStdHandle(to_error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (args.size() <= 1) return;
  for (const TypedArg& value : args.subspan(1)) {
    bool written = true;
    if (value.type == TypeCode::text) {
      const char* text = value.pointer_as<const char>();
      if (text != nullptr) written = write_in_pieces(output, text);
    } else {
      written = write_in_pieces(output, format_for_output(value));
    }
    if (!written && !to_error) output_error = errno;
  }
}

int console_output_error() {
  return output_error;
}

ConsoleInput console_read_input(TypedArgs args) {
  const bool echo = args.empty() || args[0].omitted() || args[0].word1() != 0;
  return echo ? read_line_with_echo(LineUse::plain) : read_keys_without_echo();
}

ConsoleInput console_read_keyword() {
  return read_line_with_echo(LineUse::keyword);
}

Text console_read(TypedArgs args) {
  return console_read_input(args).text;
}
