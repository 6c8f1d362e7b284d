// Bytes that are ready for the terminal, written as they are to standard output or error.
#pragma once

#include <string_view>

// Writes all of `bytes` to standard output; output that cannot be written ends the program as
// end_for_lost_output (runtime/console_io.h) says.
void write_standard_output(std::string_view bytes);

// Writes `bytes` to standard error as far as it takes them; nothing is left to report a failure.
void write_standard_error(std::string_view bytes);
