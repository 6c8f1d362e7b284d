#include "platform/console/console.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console/terminal_charset.h"

namespace {

struct OutputStream {
  int descriptor;
  std::string pending_lead;  // a GBK lead byte whose trail byte has not come yet (0 or 1 byte)
};

struct InputStream {
  int descriptor = STDIN_FILENO;
  std::string raw;       // read from the descriptor, not yet taken (terminal character set)
  std::string gbk;       // converted, not yet delivered
  bool drop_lf = false;  // a CR just ended a key-by-key line from a stream: skip its LF
};

OutputStream standard_output{STDOUT_FILENO, {}};
OutputStream standard_error{STDERR_FILENO, {}};
InputStream standard_input;

bool is_gbk_lead(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 0x81 && value <= 0xFE;
}

// The length of `gbk` without a lone lead byte at its end.
std::size_t complete_length(std::string_view gbk) {
  std::size_t at = 0;
  while (at < gbk.size()) {
    const std::size_t width = is_gbk_lead(gbk[at]) ? 2 : 1;
    if (at + width > gbk.size()) break;
    at += width;
  }
  return at;
}

// Offsets at which the GBK characters of `gbk` end.
std::vector<std::size_t> character_ends(std::string_view gbk) {
  std::vector<std::size_t> ends;
  for (std::size_t at = 0; at < gbk.size();) {
    at = std::min(gbk.size(), at + (is_gbk_lead(gbk[at]) ? 2 : 1));
    ends.push_back(at);
  }
  return ends;
}

// One write of `bytes`: retried when interrupted before any byte went, and waited for when the
// descriptor is non-blocking and full. The bytes written (0 for none), or -1 on failure.
ssize_t write_some(int descriptor, std::string_view bytes) {
  for (;;) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written >= 0) return written;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    pollfd ready{descriptor, POLLOUT, 0};
    if (::poll(&ready, 1, -1) < 0 && errno != EINTR) return -1;
  }
}

bool write_all(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write_some(descriptor, bytes);
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// After a partial write of `sent` bytes of `terminal` (the conversion of all of `gbk`): the GBK
// bytes whose terminal form is now completely out. A character the write cut in two is finished
// first, so that the terminal never sees half of one and the count stays honest.
std::size_t consumed_by_partial_write(int descriptor, std::string_view gbk,
                                      std::string_view terminal, std::size_t sent) {
  const std::vector<std::size_t> ends = character_ends(gbk);
  // The first character count whose converted prefix reaches `sent`; prefixes that end on
  // character boundaries convert to prefixes of `terminal`.
  std::size_t low = 0, high = ends.size() - 1;
  std::size_t reached = terminal.size();
  while (low < high) {
    const std::size_t middle = (low + high) / 2;
    const std::size_t length = gbk_to_terminal(gbk.substr(0, ends[middle])).size();
    if (length >= sent) {
      high = middle;
      reached = length;
    } else {
      low = middle + 1;
    }
  }
  if (reached == sent) return ends[low];
  if (write_all(descriptor, terminal.substr(sent, reached - sent))) return ends[low];
  return low == 0 ? 0 : ends[low - 1];
}

OutputStream* output_stream(HANDLE handle) {
  if (handle == &standard_output) return &standard_output;
  if (handle == &standard_error) return &standard_error;
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Standard input.

enum class Fill { more, end, error };

// Appends what one read of standard input gives to the raw buffer.
Fill fill(InputStream& input) {
  char chunk[4096];
  ssize_t count;
  do {
    count = ::read(input.descriptor, chunk, sizeof chunk);
  } while (count < 0 && errno == EINTR);
  if (count < 0) return Fill::error;
  if (count == 0) return Fill::end;
  input.raw.append(chunk, static_cast<std::size_t>(count));
  if (input.drop_lf) {
    if (input.raw.front() == '\n') input.raw.erase(0, 1);
    input.drop_lf = false;
  }
  return input.raw.empty() ? fill(input) : Fill::more;
}

// The byte length of the terminal character that starts with `lead`.
std::size_t terminal_character_length(char lead) {
  const auto value = static_cast<unsigned char>(lead);
  if (terminal_charset() == TerminalCharset::gbk) return is_gbk_lead(lead) ? 2 : 1;
  if (value >= 0xF0 && value <= 0xF7) return 4;
  if (value >= 0xE0) return value <= 0xEF ? 3 : 1;
  if (value >= 0xC0) return 2;
  return 1;
}

// The length of the whole terminal characters at the start of `raw`.
std::size_t whole_terminal_characters(std::string_view raw) {
  std::size_t at = 0;
  while (at < raw.size()) {
    const std::size_t width = terminal_character_length(raw[at]);
    if (at + width > raw.size()) break;
    at += width;
  }
  return at;
}

// A line longer than this many raw bytes is passed on in pieces as it comes, so that no line is
// ever held whole however long it is.
constexpr std::size_t kLinePieceBytes = 4096;

// Moves the whole characters of an unfinished line's raw bytes, converted to GBK, to the GBK
// buffer. A CR at their end waits: it may belong to the line end.
void pass_on_piece(InputStream& input) {
  std::size_t length = whole_terminal_characters(input.raw);
  if (length > 0 && input.raw[length - 1] == '\r') --length;
  input.gbk += terminal_to_gbk(std::string_view(input.raw).substr(0, length));
  input.raw.erase(0, length);
}

// Moves the next line of raw input, converted to GBK and ended with CR LF, to the GBK buffer; or,
// of a line longer than kLinePieceBytes, the next piece without a line end.
Fill next_stream_line(InputStream& input) {
  std::size_t line_feed;
  while ((line_feed = input.raw.find('\n')) == std::string::npos) {
    if (input.raw.size() >= kLinePieceBytes) {
      pass_on_piece(input);
      return Fill::more;
    }
    const Fill filled = fill(input);
    if (filled == Fill::error) return filled;
    if (filled == Fill::end) {
      if (input.raw.empty()) return Fill::end;
      line_feed = input.raw.size();
      break;
    }
  }
  std::string_view line(input.raw.data(), line_feed);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  input.gbk += terminal_to_gbk(line);
  input.gbk += "\r\n";
  input.raw.erase(0, std::min(line_feed + 1, input.raw.size()));
  return Fill::more;
}

// Moves the next line, edited on the terminal, to the GBK buffer as the stream's next line would
// be; bytes already taken from the terminal are read as a stream first.
Fill next_line(InputStream& input, LineUse use) {
  if (!input.raw.empty() || !line_editing_applies()) return next_stream_line(input);
  const EditedLine edited = edit_line(use);
  switch (edited.status) {
    case EditedLineStatus::line:
      input.gbk += edited.gbk + "\r\n";
      return Fill::more;
    case EditedLineStatus::end_of_input:
      return Fill::end;
    case EditedLineStatus::failed:
      break;
  }
  return next_stream_line(input);
}

// How many of the first `wanted` GBK bytes can go without cutting a character in two.
std::size_t whole_characters(std::string_view gbk, std::size_t wanted) {
  if (wanted >= gbk.size()) return gbk.size();
  std::size_t at = 0;
  while (at < wanted) {
    const std::size_t width = is_gbk_lead(gbk[at]) ? 2 : 1;
    if (at + width > wanted) break;
    at += width;
  }
  return at == 0 ? wanted : at;
}

// Keys without echo: puts a terminal into raw mode for the lifetime of the guard.
class RawMode {
 public:
  explicit RawMode(int descriptor) : descriptor_(descriptor) {
    if (::tcgetattr(descriptor_, &saved_) != 0) return;
    termios raw = saved_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    active_ = ::tcsetattr(descriptor_, TCSANOW, &raw) == 0;
  }
  ~RawMode() {
    if (active_) ::tcsetattr(descriptor_, TCSANOW, &saved_);
  }
  RawMode(const RawMode&) = delete;
  RawMode& operator=(const RawMode&) = delete;

 private:
  int descriptor_;
  termios saved_{};
  bool active_ = false;
};

// Takes one whole terminal character from the raw buffer (reading as needed) and queues its GBK
// form. False at the end of input or on a read error.
bool take_key(InputStream& input) {
  std::size_t needed = 0;
  for (;;) {
    if (!input.raw.empty()) {
      needed = terminal_character_length(input.raw.front());
      if (input.raw.size() >= needed) break;
    }
    if (fill(input) != Fill::more) {
      if (input.raw.empty()) return false;
      needed = input.raw.size();  // a character cut off by the end of input
      break;
    }
  }
  const std::string key = input.raw.substr(0, needed);
  input.raw.erase(0, needed);
  const bool from_terminal = ::isatty(input.descriptor) != 0;
  if (key == "\n" || key == "\r") {
    input.drop_lf = key == "\r" && !from_terminal;
    if (input.drop_lf && !input.raw.empty()) {
      if (input.raw.front() == '\n') input.raw.erase(0, 1);
      input.drop_lf = false;
    }
    input.gbk += '\r';
  } else {
    input.gbk += terminal_to_gbk(key);
  }
  return true;
}

}  // namespace

void hold_closed_standard_descriptors() {
  for (const int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(descriptor, F_GETFD) != -1) continue;
    // open takes the lowest free number, which is this one: the ones below it are open already.
    const int unusable_access = descriptor == STDIN_FILENO ? O_WRONLY : O_RDONLY;
    static_cast<void>(::open("/dev/null", unusable_access | O_CLOEXEC));
  }
}

HANDLE GetStdHandle(DWORD which) {
  void* stream = nullptr;
  int descriptor = -1;
  if (which == STD_INPUT_HANDLE) {
    stream = &standard_input;
    descriptor = standard_input.descriptor;
  } else if (which == STD_OUTPUT_HANDLE) {
    stream = &standard_output;
    descriptor = standard_output.descriptor;
  } else if (which == STD_ERROR_HANDLE) {
    stream = &standard_error;
    descriptor = standard_error.descriptor;
  }
  if (stream == nullptr || ::fcntl(descriptor, F_GETFD) == -1) return nullptr;
  return stream;
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD count, DWORD* written, void* overlapped) {
  if (written) *written = 0;
  OutputStream* out = output_stream(handle);
  if (out == nullptr || overlapped != nullptr || (buffer == nullptr && count != 0)) return 0;
  if (count == 0) return 1;
  if (out == &standard_output) take_terminal_input();  // before the first prompt shows

  const std::string data = out->pending_lead + std::string(static_cast<const char*>(buffer), count);
  const std::size_t whole = complete_length(data);
  const std::string_view characters(data.data(), whole);
  const std::string terminal = gbk_to_terminal(characters);
  ssize_t sent = 0;
  if (!terminal.empty()) {
    sent = write_some(out->descriptor, terminal);
    if (sent < 0) return 0;
    if (sent == 0) return 1;
  }
  if (static_cast<std::size_t>(sent) == terminal.size()) {
    out->pending_lead = data.substr(whole);  // a trailing lead byte waits for its trail byte
    if (written) *written = count;
    return 1;
  }
  const std::size_t consumed = consumed_by_partial_write(out->descriptor, characters, terminal,
                                                         static_cast<std::size_t>(sent));
  const std::size_t held = out->pending_lead.size();
  if (consumed <= held) return 1;  // not even the held byte's character went out
  out->pending_lead.clear();
  if (written) *written = static_cast<DWORD>(consumed - held);
  return 1;
}

BOOL FlushFileBuffers(HANDLE handle) {
  OutputStream* out = output_stream(handle);
  if (out == nullptr) return 0;
  if (out->pending_lead.empty()) return 1;
  const std::string lone = terminal_charset() == TerminalCharset::gbk ? out->pending_lead : "?";
  out->pending_lead.clear();
  return write_all(out->descriptor, lone) ? 1 : 0;
}

BOOL ReadConsoleA(HANDLE handle, void* buffer, DWORD count, DWORD* read, void* control) {
  if (control != nullptr) {
    if (read) *read = 0;
    return 0;
  }
  return ReadConsoleLine(handle, buffer, count, read, LineUse::plain);
}

BOOL ReadConsoleLine(HANDLE handle, void* buffer, DWORD count, DWORD* read, LineUse use) {
  if (read) *read = 0;
  if (handle != &standard_input || buffer == nullptr || count == 0) return 0;
  InputStream& input = standard_input;
  while (input.gbk.empty()) {
    const Fill filled = next_line(input, use);
    if (filled == Fill::error) return 0;
    if (filled == Fill::end) return 1;
  }
  const std::size_t delivered = whole_characters(input.gbk, count);
  std::memcpy(buffer, input.gbk.data(), delivered);
  input.gbk.erase(0, delivered);
  if (read) *read = static_cast<DWORD>(delivered);
  return 1;
}

int _getch() {
  InputStream& input = standard_input;
  if (input.gbk.empty()) {
    bool taken;
    if (input.raw.empty() && ::isatty(input.descriptor)) {
      RawMode raw_mode(input.descriptor);
      taken = take_key(input);
    } else {
      taken = take_key(input);
    }
    if (!taken || input.gbk.empty()) return kGetchEndOfInput;
  }
  const auto key = static_cast<unsigned char>(input.gbk.front());
  input.gbk.erase(0, 1);
  return key;
}
