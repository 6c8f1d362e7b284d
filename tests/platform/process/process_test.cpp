#include "platform/process/process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/console/terminal_charset.h"
#include "tests/support/descriptor_capture.h"

namespace {

// Starts `command_line` with the settings the process runner uses; the start's result.
BOOL start(std::string command_line, PROCESS_INFORMATION* information) {
  STARTUPINFOA startup;
  GetStartupInfoA(&startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  return CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, true, 0, nullptr, nullptr,
                        &startup, information);
}

// Runs `command_line` to its end, capturing what it writes to standard output and error.
struct Output {
  std::string out;
  std::string err;
};
Output run_to_end(const std::string& command_line) {
  DescriptorCapture out(STDOUT_FILENO);
  DescriptorCapture err(STDERR_FILENO);
  PROCESS_INFORMATION process;
  if (start(command_line, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  std::string err_text = err.finish();
  return {out.finish(), err_text};
}

TEST(ProcessTest, AProgramThatCannotStartFailsAndLeavesTheOutputAlone) {
  PROCESS_INFORMATION sentinel{reinterpret_cast<HANDLE>(1), reinterpret_cast<HANDLE>(2), 3, 4};
  PROCESS_INFORMATION process = sentinel;
  EXPECT_FALSE(start("no-such-program-anywhere arg", &process));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(start("/no/such/dir/prog", &process));
  EXPECT_FALSE(start("   ", &process));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(process.hProcess, sentinel.hProcess);
  EXPECT_EQ(process.dwThreadId, 4u);
}

TEST(ProcessTest, TheChildGetsTheArgumentsByTheWindowsRulesAndTheSharedOutput) {
  const Output output = run_to_end(R"(printf "[%s]" "a b" c\"d e\\f)");
  EXPECT_EQ(output.out, R"([a b][c"d][e\\f])");
}

TEST(ProcessTest, WaitingReportsTimeOutThenTheEndAndClosingIsOnce) {
  PROCESS_INFORMATION process;
  ASSERT_TRUE(start("sleep 0.3", &process));
  EXPECT_EQ(WaitForSingleObject(process.hThread, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(process.hThread, 0), WAIT_OBJECT_0) << "both handles see the end";
  EXPECT_TRUE(CloseHandle(process.hProcess));
  EXPECT_FALSE(CloseHandle(process.hProcess));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_TRUE(CloseHandle(process.hThread));
}

TEST(ProcessTest, TheInterpreterRunsItsCommandsThroughTheShell) {
  EXPECT_EQ(run_to_end("cmd.exe /c echo hi").out, "hi\n");
  EXPECT_EQ(run_to_end(R"("CMD" /C echo "quoted  text")").out, "quoted  text\n")
      << "the tail reaches the shell unparsed";
  EXPECT_EQ(run_to_end("cmd.exe /c").out, "");
  EXPECT_EQ(run_to_end("cmd /c CLS").out, "\x1b[H\x1b[2J\x1b[3J");
  EXPECT_EQ(run_to_end(R"(C:\Windows\Cmd.Exe /c color  1E)").out, "\x1b[0;44;93m");
  EXPECT_EQ(run_to_end("cmd.exe /c color  c0").out, "\x1b[0;101;30m");
  EXPECT_EQ(run_to_end("cmd.exe /c color  8").out, "\x1b[0;40;90m") << "one digit: on black";
  EXPECT_EQ(run_to_end("cmd.exe /c color  ").out, "\x1b[0m") << "no digit: the defaults";
  EXPECT_EQ(run_to_end("cmd.exe /c color  77").out, "") << "refused";
  EXPECT_EQ(run_to_end("cmd.exe /c color  1G").out, "");

  const Output unknown_switch = run_to_end("cmd.exe -c ");
  EXPECT_EQ(unknown_switch.out, "");
  EXPECT_EQ(unknown_switch.err, "cmd.exe: invalid switch - \"-c\"\n");
}

TEST(ProcessTest, ArgumentsReachTheChildInTheTerminalCharacterSet) {
  // "中" in GBK; a UTF-8 terminal receives its UTF-8 form.
  const Output output = run_to_end("cmd.exe /c printf %s \xD6\xD0");
  EXPECT_EQ(output.out, terminal_charset() == TerminalCharset::utf8 ? "\xE4\xB8\xAD" : "\xD6\xD0");
}

}  // namespace
