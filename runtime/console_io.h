// Console input and output: the runtime commands of the program's console dialogue.
#pragma once

#include <cstdint>

#include "runtime/runtime.h"

inline constexpr std::uint32_t kConsolePrintCommand = 0x904;
inline constexpr std::uint32_t kConsoleReadCommand = 0x908;

// console_print(direction, value...): writes the values one after another, with no separator and
// no line end added, to standard error when the direction (args[0]) is given with word 1 == 2,
// else to standard output. Texts are written up to their NUL (null writes nothing); logical,
// date-time and numeric values as value_to_text writes them; byte sets, arrays and other types
// are skipped. Empty args or a direction alone write nothing. Writes go in pieces of at most 1024
// bytes; a failed or zero-byte write ends the value being written.
void console_print(TypedArgs args);

// Why console_print last gave up on standard output, as an errno value (EBADF when there is no
// standard output at all); 0 while no write to it has failed. Output that went nowhere must not
// end as success, so the program asks after what it printed.
[[nodiscard]] int console_output_error();

// Bytes that one console read takes at most. Line input cuts a longer line there, between two
// characters, and drops the rest of it.
inline constexpr std::uint32_t kConsoleReadLimit = 2048;

enum class ConsoleReadStatus {
  read,          // a line or a run of keys was read (it may be empty)
  end_of_input,  // standard input has ended; nothing was read
  unreadable,    // no standard input, or reading it failed
};

struct ConsoleInput {
  Text text;
  ConsoleReadStatus status = ConsoleReadStatus::read;
};

// console_read(echo) with the reason behind an empty result: the status tells an empty line
// (read, null text) from the end of input. `args` holds at most one optional logical: omitted or
// true reads a line with echo (the line end removed; cut to kConsoleReadLimit bytes); given and
// false reads keys without echo until Enter or kConsoleReadLimit keys (Enter not stored; every
// other key, backspace included, stored as it comes). The text is null when it would be empty.
[[nodiscard]] ConsoleInput console_read_input(TypedArgs args);

// A line read as console_read_input({}) reads one, which is a keyword: on a terminal, where lines
// are edited, it enters the history that the up arrow recalls (other lines never do).
[[nodiscard]] ConsoleInput console_read_keyword();

// console_read(echo): the text of console_read_input alone; null for an empty line, the end of
// input and unreadable input alike.
[[nodiscard]] Text console_read(TypedArgs args);
