#include "app/startup.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/process/process.h"
#include "runtime/memory.h"

namespace {

void report_start(const char* command_line, const STARTUPINFOA*) {
  std::fprintf(stderr, "[started %s]", command_line);
}

void report_destroy(ConsoleHelperObject*) {
  std::fprintf(stderr, "[destroyed]");
}

TEST(StartupDeathTest, StartsTheInterpreterOnceAndTheExitDestroysTheHelperThroughItsTable) {
  EXPECT_EXIT(
      {
        SetCreateProcessObserver(report_start);
        start_program();
        static ConsoleHelperOperations observed = kConsoleHelperOperations;
        observed.destroy = report_destroy;
        global_console_helper.get()->operations = &observed;
        exit_program(0);
      },
      testing::ExitedWithCode(0), "^\\[started cmd\\.exe /c\\]\\[destroyed\\]$");
}

}  // namespace
