#include "runtime/console_io.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>

#include <cerrno>
#include <string>

#include "runtime/text_blocks.h"
#include "tests/support/redirected_child.h"

namespace {

using test_support::run_in_child;

constexpr char kUtf8[] = "C.UTF-8";

// console_read_input until the input ends: each text in brackets, then how the reads ended.
std::string read_until_end(TypedArgs args) {
  for (std::string report;;) {
    const ConsoleInput input = console_read_input(args);
    if (input.status == ConsoleReadStatus::end_of_input) return report + "end";
    if (input.status == ConsoleReadStatus::unreadable) return report + "unreadable";
    report += input.text.is_null() ? "[null]" : "[" + std::string(input.text.view()) + "]";
  }
}

TEST(ConsolePrintTest, DirectionChoosesTheStreamAndValuesFollowInOrder) {
  const std::uint8_t bytes[] = {65, 66};
  const ByteSet set = bytes_from_buffer(bytes, sizeof bytes);
  auto print = [&] {
    const TypedArg values[] = {TypedArg{}, TypedArg::logical(true), TypedArg::integer(42),
                               set.arg(),  TypedArg::float64(2.5),  TypedArg::text("歌")};
    const TypedArg to_error[] = {TypedArg::integer(2), TypedArg::text("err")};
    const TypedArg direction_only[] = {TypedArg::integer(1)};
    console_print(values);
    console_print(to_error);
    console_print(direction_only);
    return std::string();
  };
  const auto gbk = run_in_child("", "zh_CN.GBK", print);
  EXPECT_EQ(gbk.out, "真422.5歌");
  EXPECT_EQ(gbk.err, "err");
  EXPECT_EQ(run_in_child("", kUtf8, print).out,
            "\xE7\x9C\x9F"
            "422.5\xE6\xAD\x8C");
}

TEST(ConsolePrintTest, LongTextsSurvivePartialWrites) {
  std::string text;
  for (int i = 0; i < 5000; ++i)
    text += static_cast<char>('0' + i % 43);
  test_support::SlowConnection connection;
  std::string received;
  run_in_child(
      "", kUtf8,
      [&] {
        ::dup2(connection.sender, STDOUT_FILENO);
        const TypedArg values[] = {TypedArg{}, TypedArg::text(text.c_str())};
        console_print(values);
        return std::string();
      },
      [&] { received = connection.receive_slowly(); });
  EXPECT_TRUE(received == text) << received.size() << " of " << text.size() << " bytes";
}

TEST(ConsolePrintTest, AFailingWriteEndsTheValueInsteadOfLooping) {
  const auto run = run_in_child("", kUtf8, [] {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return "no pipe";
    ::dup2(pipe_ends[0], STDOUT_FILENO);  // the reading end cannot be written
    const TypedArg values[] = {TypedArg{}, TypedArg::text("lost"), TypedArg::integer(7)};
    console_print(values);
    return console_output_error() == EBADF ? "returned, EBADF" : "returned";
  });
  EXPECT_EQ(run.report, "returned, EBADF");
}

std::string repeated(std::string_view piece, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i)
    text += piece;
  return text;
}

TEST(ConsoleReadTest, LinesLoseTheirLineEnds) {
  const auto run =
      run_in_child("abc\na\r\n\n\xE6\xAD\x8C\nlast", kUtf8, [] { return read_until_end({}); });
  EXPECT_EQ(run.report, "[abc][a][null][歌][last]end");
}

// A line is one keyword: a long one is cut between two characters of the charset it came in, and
// its rest never becomes the lines that follow.
TEST(ConsoleReadTest, ALongLineIsCutBetweenCharactersAndItsRestIsDropped) {
  constexpr char kGbkSong[] = "\xB8\xE8";       // 歌
  constexpr char kUtf8Song[] = "\xE6\xAD\x8C";  // 歌
  const struct {
    const char* locale;
    std::string line, expected;
  } cases[] = {
      {kUtf8, std::string(2047, 'x'), std::string(2047, 'x')},
      {kUtf8, std::string(2048, 'x'), std::string(2048, 'x')},
      {kUtf8, std::string(2048, 'x') + "\r", std::string(2048, 'x')},
      {kUtf8, std::string(3000, 'x'), std::string(2048, 'x')},
      {kUtf8, std::string(60'000, 'y'), std::string(2048, 'y')},
      {kUtf8, "x" + repeated(kUtf8Song, 1500), "x" + repeated(kGbkSong, 1023)},
      {kUtf8, repeated("x" + std::string(kUtf8Song), 5000),
       repeated("x" + std::string(kGbkSong), 682) + "x"},
      {"zh_CN.GBK", "x" + repeated(kGbkSong, 1500), "x" + repeated(kGbkSong, 1023)},
  };
  for (const auto& [locale, line, expected] : cases) {
    SCOPED_TRACE(line.size());
    const auto run = run_in_child(line + "\nnext\n", locale, [] { return read_until_end({}); });
    EXPECT_EQ(run.report, "[" + expected + "][next]end");
  }
}

TEST(ConsoleReadTest, EndOfInputAndUnreadableInputDifferFromEmptyLines) {
  EXPECT_EQ(run_in_child("", kUtf8, [] { return read_until_end({}); }).report, "end");
  const auto closed = run_in_child("", kUtf8, [] {
    ::close(STDIN_FILENO);
    return read_until_end({});
  });
  EXPECT_EQ(closed.report, "unreadable");
}

TEST(ConsoleReadTest, KeysWithoutEchoFromAStreamFollowTheLinesBeforeThem) {
  const TypedArg no_echo[] = {TypedArg::logical(false)};
  const auto run = run_in_child("line\nab\b\r\n\nc", kUtf8, [&] {
    const Text line = console_read({});
    return std::string(line.view()) + read_until_end(no_echo);
  });
  EXPECT_EQ(run.report, "line[ab\b][null][c]end");
}

TEST(ConsoleReadTest, KeysWithoutEchoShowNothingOnATerminalAndRestoreItsMode) {
  int report[2], master = -1;
  ASSERT_EQ(::pipe(report), 0);
  if (::forkpty(&master, nullptr, nullptr, nullptr) == 0) {
    ::alarm(20);
    termios before{}, after{};
    ::tcgetattr(STDIN_FILENO, &before);
    const TypedArg no_echo[] = {TypedArg::logical(false)};
    const Text read = console_read(no_echo);
    std::string keys(read.view());
    ::tcgetattr(STDIN_FILENO, &after);
    keys += after.c_lflag == before.c_lflag && after.c_iflag == before.c_iflag ? "|restored" : "";
    (void)!::write(report[1], keys.data(), keys.size());
    ::_exit(0);
  }
  ::close(report[1]);
  termios mode{};
  for (int tries = 0; tries < 2000; ++tries) {  // the keys go once the terminal stops echoing
    if (::tcgetattr(master, &mode) == 0 && (mode.c_lflag & ECHO) == 0) break;
    ::usleep(1000);
  }
  ASSERT_EQ(::write(master, "key\r", 4), 4);
  const std::string keys = test_support::read_all(report[0]);
  ::wait(nullptr);
  ::fcntl(master, F_SETFL, O_NONBLOCK);
  EXPECT_EQ(keys, "key|restored");
  EXPECT_EQ(test_support::read_all(master), "");  // nothing was shown
}

}  // namespace
