// Stand-in for ExitProcess of kernel32.
#pragma once

#include "platform/base/types.h"

// ExitProcess: ends the calling process with exit code `code`; does not return. As on the
// platform, no destructors of static objects and no atexit handlers run, and blocks still held are
// left to the end of the process. What only this process's memory still holds is written out
// first: the C library's stream buffers, and the lead byte that a console output handle keeps for
// a character split between writes (FlushFileBuffers, platform/console/console.h). The terminal's
// modes are put back as they were before line editing took its input (line_editor.h).
[[noreturn]] void ExitProcess(UINT code);
