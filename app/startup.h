// Start-up and shutdown: the order in which the program brings its services into play, and the one
// global object it owns.
#pragma once

#include "console/console_helper.h"

// The program's single console helper: empty until start_program builds it, emptied again by the
// exit callback.
extern ConsoleHelper global_console_helper;

// Start-up, in this order: runtime_init; the global console helper, built as the code that
// declares an object builds it (a zero-filled block from mem_alloc, then its table); the exit
// callback destroy_global_console_helper; and the helper's run_empty_command, which starts
// "cmd.exe /c" without waiting for it.
void start_program();

// The exit callback: destroys the global console helper through its table and frees its block.
void destroy_global_console_helper();
