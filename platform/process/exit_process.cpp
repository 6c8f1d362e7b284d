#include "platform/process/exit_process.h"

#include <unistd.h>

#include <cstdio>

#include "platform/console/console.h"
#include "platform/line_editor/line_editor.h"

/* ExitProcess: contract as the platform's; held output is written out first (see the header). */
void ExitProcess(UINT code) {
  std::fflush(nullptr);
  FlushFileBuffers(GetStdHandle(STD_OUTPUT_HANDLE));
  FlushFileBuffers(GetStdHandle(STD_ERROR_HANDLE));
  give_back_terminal_input();
  _exit(static_cast<int>(code));
}
