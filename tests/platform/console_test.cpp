#include "platform/console/console.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "tests/support/redirected_child.h"

namespace {

using test_support::run_in_child;

constexpr char kUtf8[] = "C.UTF-8";
constexpr char kGbkZhongWen[] = "\xD6\xD0\xCE\xC4";           // 中文
constexpr char kUtf8ZhongWen[] = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文

// Writes `bytes` with one WriteFile call; the report is "ok <written>" or "failed <written>".
std::string write_once(DWORD which, std::string_view bytes) {
  DWORD written = 12345;
  const BOOL ok = WriteFile(GetStdHandle(which), bytes.data(), static_cast<DWORD>(bytes.size()),
                            &written, nullptr);
  return (ok ? "ok " : "failed ") + std::to_string(written);
}

// Reads with ReadConsoleA until the end of input; each read reported as "[bytes]".
std::string read_all_lines(DWORD count) {
  std::string report;
  char buffer[64];
  DWORD read = 0;
  while (ReadConsoleA(GetStdHandle(STD_INPUT_HANDLE), buffer, count, &read, nullptr) && read > 0)
    report += "[" + std::string(buffer, read) + "]";
  return report;
}

TEST(ConsoleTest, StandardHandlesAreStableAndNullWhenMissing) {
  EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE));
  EXPECT_NE(GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE));
  EXPECT_NE(GetStdHandle(STD_INPUT_HANDLE), nullptr);
  EXPECT_EQ(GetStdHandle(static_cast<DWORD>(-13)), nullptr);
  const auto run = run_in_child("", kUtf8, [] {
    ::close(STDIN_FILENO);
    return GetStdHandle(STD_INPUT_HANDLE) == nullptr ? "null" : "handle";
  });
  EXPECT_EQ(run.report, "null");
}

TEST(ConsoleTest, OutputIsConvertedToTheTerminalCharset) {
  const auto utf8 =
      run_in_child("", kUtf8, [] { return write_once(STD_OUTPUT_HANDLE, kGbkZhongWen); });
  EXPECT_EQ(utf8.out, kUtf8ZhongWen);
  EXPECT_EQ(utf8.report, "ok 4");
  const auto gbk =
      run_in_child("", "zh_CN.GBK", [] { return write_once(STD_ERROR_HANDLE, kGbkZhongWen); });
  EXPECT_EQ(gbk.err, kGbkZhongWen);
}

TEST(ConsoleTest, CharacterSplitBetweenWritesIsConvertedWhole) {
  const auto run = run_in_child("", kUtf8, [] {
    std::string report = write_once(STD_OUTPUT_HANDLE, "a\xD6");
    report += "," + write_once(STD_OUTPUT_HANDLE, "\xD0");
    return report + "," + write_once(STD_OUTPUT_HANDLE, "");
  });
  EXPECT_EQ(run.report, "ok 2,ok 1,ok 0");
  EXPECT_EQ(run.out, "a\xE4\xB8\xAD");
}

TEST(ConsoleTest, FailedWritesAndWrongHandlesReportFailure) {
  const auto run = run_in_child("", kUtf8, [] {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return std::string("no pipe");
    ::dup2(pipe_ends[0], STDOUT_FILENO);  // the reading end cannot be written
    return write_once(STD_OUTPUT_HANDLE, "x") + "," + write_once(STD_INPUT_HANDLE, "x");
  });
  EXPECT_EQ(run.report, "failed 0,failed 0");
}

// Writes `text` in 1024-byte calls, continuing after partial ones; reports whether any was partial.
std::string write_through_partial_writes(const std::string& text) {
  bool partial = false;
  for (std::size_t at = 0; at < text.size();) {
    const auto piece = static_cast<DWORD>(std::min<std::size_t>(1024, text.size() - at));
    DWORD written = 0;
    if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data() + at, piece, &written, nullptr) ||
        written == 0) {
      return "stopped";
    }
    partial = partial || written < piece;
    at += written;
  }
  return partial ? "partial" : "whole";
}

TEST(ConsoleTest, PartialWritesCountWhatWentOutInGbkBytes) {
  std::string text;
  for (int i = 0; i < 3000; ++i)
    text += i % 7 == 0 ? std::string("x") : std::string(kGbkZhongWen, 2);
  std::string expected;
  for (int i = 0; i < 3000; ++i)
    expected += i % 7 == 0 ? std::string("x") : std::string(kUtf8ZhongWen, 3);

  test_support::SlowConnection connection;
  std::string received;
  const auto run = run_in_child(
      "", kUtf8,
      [&] {
        ::dup2(connection.sender(), STDOUT_FILENO);
        return write_through_partial_writes(text);
      },
      [&] { received = connection.receive_slowly(); });
  EXPECT_EQ(run.report, "partial");
  EXPECT_TRUE(received == expected) << received.size() << " bytes of " << expected.size();
}

TEST(ConsoleTest, LineInputDeliversLinesWithCrLfThenTheEnd) {
  const auto run = run_in_child("abc\r\n\nlast", kUtf8, [] { return read_all_lines(64); });
  EXPECT_EQ(run.report, "[abc\r\n][\r\n][last\r\n]");
}

TEST(ConsoleTest, LineInputKeepsWhatExceedsTheCountForTheNextRead) {
  const auto ascii = run_in_child("abcde\n", kUtf8, [] { return read_all_lines(2); });
  EXPECT_EQ(ascii.report, "[ab][cd][e\r][\n]");
  // Converted to GBK, and a double-byte character is not cut in two.
  const auto chinese = run_in_child(std::string("a") + kUtf8ZhongWen + "\n", kUtf8,
                                    [] { return read_all_lines(2); });
  EXPECT_EQ(chinese.report, "[a][\xD6\xD0][\xCE\xC4][\r\n]");
}

TEST(ConsoleTest, KeysFromAStreamShareTheInputBufferWithLines) {
  const auto run = run_in_child("line\nab\r\nc\n", kUtf8, [] {
    char buffer[16];
    DWORD read = 0;
    ReadConsoleA(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr);
    std::string report(buffer, read);
    for (int key; (key = _getch()) != kGetchEndOfInput;)
      report += std::to_string(key) + " ";
    return report;
  });
  EXPECT_EQ(run.report, "line\r\n97 98 13 99 13 ");
}

// Waits until the terminal behind `master` has echo switched off.
bool wait_for_echo_off(int master) {
  for (int tries = 0; tries < 2000; ++tries) {
    termios mode{};
    if (::tcgetattr(master, &mode) == 0 && (mode.c_lflag & ECHO) == 0) return true;
    ::usleep(1000);
  }
  return false;
}

TEST(ConsoleTest, KeysFromATerminalAreNotEchoedAndEnterIsCr) {
  int report[2];
  ASSERT_EQ(::pipe(report), 0);
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::alarm(20);
    termios before{}, after{};
    ::tcgetattr(STDIN_FILENO, &before);
    std::string keys;
    for (int key; (key = _getch()) != '\r' && key != kGetchEndOfInput;)
      keys += static_cast<char>(key);
    ::tcgetattr(STDIN_FILENO, &after);
    keys += after.c_lflag == before.c_lflag && after.c_iflag == before.c_iflag ? "|restored" : "";
    (void)!::write(report[1], keys.data(), keys.size());
    ::_exit(0);
  }
  ::close(report[1]);
  ASSERT_TRUE(wait_for_echo_off(master));
  ASSERT_EQ(::write(master, "xyz\r", 4), 4);
  std::string keys;
  char chunk[64];
  for (ssize_t count; (count = ::read(report[0], chunk, sizeof chunk)) > 0;)
    keys.append(chunk, static_cast<std::size_t>(count));
  int status = 0;
  ::waitpid(pid, &status, 0);
  std::string shown;
  ::fcntl(master, F_SETFL, O_NONBLOCK);
  for (ssize_t count; (count = ::read(master, chunk, sizeof chunk)) > 0;)
    shown.append(chunk, static_cast<std::size_t>(count));
  ::close(master);
  ::close(report[0]);
  EXPECT_EQ(keys, "xyz|restored");
  EXPECT_EQ(shown.find("xyz"), std::string::npos) << shown;
}

}  // namespace
