#include "platform/process/exit_process.h"

#include <unistd.h>

#include <cstdio>

#include "platform/console/console.h"

/* ExitProcess: contract as the platform's; held output is written out first (see the header). */
void ExitProcess(UINT code) {
  std::fflush(nullptr);
  FlushFileBuffers(GetStdHandle(STD_OUTPUT_HANDLE));
  FlushFileBuffers(GetStdHandle(STD_ERROR_HANDLE));
  _exit(static_cast<int>(code));
}
