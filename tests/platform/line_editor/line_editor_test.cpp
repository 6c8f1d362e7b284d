#include "platform/line_editor/line_editor.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/console/console.h"
#include "platform/console/terminal_charset.h"

namespace {

// Waits until the terminal behind `controller` has its echo off: the editor is reading.
bool wait_until_editing(int controller) {
  termios modes{};
  for (int tries = 0; tries < 5000; ++tries) {
    if (::tcgetattr(controller, &modes) == 0 && (modes.c_lflag & ECHO) == 0) return true;
    ::usleep(1000);
  }
  return false;
}

// Reads one line of the child's report.
std::string next_report_line(int report) {
  std::string line;
  for (char c; ::read(report, &c, 1) == 1 && c != '\n';)
    line += c;
  return line;
}

// set_keyword_history as the command line's --no-history calls it: keywords are recalled within
// the run, lines that are no keywords are not, and nothing reaches the disk.
TEST(LineEditorTest, ASessionOnlyHistoryRecallsKeywordsButKeepsNothingOnDisk) {
  char folder[] = "/tmp/songsearch-state-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  int report[2], controller = -1;
  ASSERT_EQ(::pipe(report), 0);
  const pid_t child = ::forkpty(&controller, nullptr, nullptr, nullptr);
  if (child == 0) {
    ::alarm(20);
    ::setenv("XDG_STATE_HOME", folder, 1);
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::unsetenv("SONGSEARCH_HISTORY");
    redetect_terminal_charset();
    set_keyword_history(HistoryPolicy::session_only);
    for (const LineUse use : {LineUse::keyword, LineUse::plain, LineUse::keyword}) {
      char line[64];
      DWORD count = 0;
      ReadConsoleLine(GetStdHandle(STD_INPUT_HANDLE), line, sizeof line, &count, use);
      std::string shown(line, count);
      shown.replace(shown.size() - 2, 2, "\n");  // the CR LF of ReadConsoleA
      (void)!::write(report[1], shown.data(), shown.size());
    }
    ::_exit(0);
  }
  ::close(report[1]);
  std::string lines;
  for (const char* keys : {"moon\r", "waiting\r", "\x1b[A\r"}) {
    ASSERT_TRUE(wait_until_editing(controller));
    ASSERT_EQ(::write(controller, keys, std::strlen(keys)),
              static_cast<ssize_t>(std::strlen(keys)));
    lines += next_report_line(report[0]) + "|";
  }
  ::waitpid(child, nullptr, 0);
  ::close(controller);
  EXPECT_EQ(lines, "moon|waiting|moon|");
  EXPECT_FALSE(std::filesystem::exists(std::string(folder) + "/songsearch"));
  std::filesystem::remove_all(folder);
}

}  // namespace
