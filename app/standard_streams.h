// Bytes that are ready for the terminal, written as they are to standard output or error.
#pragma once

#include <string_view>

// Writes all of `bytes` to standard output; output that cannot be written ends the program as
// end_for_lost_output says.
void write_standard_output(std::string_view bytes);

// Ends the program when console_print has lost standard output (runtime/console_io.h).
void check_console_output();

// Ends the program because standard output was lost, `error_number` (an errno value) saying why:
// when the reader went away (EPIPE) quietly, by the default action of SIGPIPE, as a pipeline
// expects; otherwise with one line on standard error and exit_program(1).
[[noreturn]] void end_for_lost_output(int error_number);

// Writes `bytes` to standard error as far as it takes them; nothing is left to report a failure.
void write_standard_error(std::string_view bytes);
