#include "runtime/console_io.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "runtime/text_blocks.h"
#include "tests/support/redirected_child.h"

namespace {

using test_support::run_in_child;

constexpr char kUtf8[] = "C.UTF-8";
constexpr char kGbk[] = "zh_CN.GBK";

// Reads with console_read_input until the end of input: each text in brackets ("null" for a null
// text), then how the last read ended.
std::string read_until_end(TypedArgs args) {
  std::string report;
  for (;;) {
    const ConsoleInput input = console_read_input(args);
    if (input.status == ConsoleReadStatus::end_of_input) return report + "end";
    if (input.status == ConsoleReadStatus::unreadable) return report + "unreadable";
    report += input.text.is_null() ? "[null]" : "[" + std::string(input.text.view()) + "]";
  }
}

TEST(ConsolePrintTest, DirectionChoosesTheStream) {
  const auto run = run_in_child("", kGbk, [] {
    const TypedArg to_out[] = {TypedArg{}, TypedArg::text("out;")};
    const TypedArg to_err[] = {TypedArg::integer(2), TypedArg::text("err;")};
    const TypedArg to_out_too[] = {TypedArg::integer(1), TypedArg::text("one;")};
    const TypedArg direction_only[] = {TypedArg::integer(2)};
    console_print(to_out);
    console_print(to_err);
    console_print(to_out_too);
    console_print(direction_only);
    console_print({});
    return std::string();
  });
  EXPECT_EQ(run.out, "out;one;");
  EXPECT_EQ(run.err, "err;");
}

TEST(ConsolePrintTest, ValuesAreWrittenInOrderAndBlocksAreSkipped) {
  const std::uint8_t bytes[] = {65, 66};
  const ByteSet set = bytes_from_buffer(bytes, sizeof bytes);
  auto print = [&] {
    const TypedArg values[] = {TypedArg{},
                               TypedArg::logical(true),
                               TypedArg::integer(42),
                               set.arg(),
                               TypedArg::with_pointer(TypeCode::text, nullptr),
                               TypedArg::float64(2.5),
                               TypedArg::text("歌")};
    console_print(values);
    return std::string();
  };
  EXPECT_EQ(run_in_child("", kGbk, print).out, "真422.5歌");
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
  const auto run = run_in_child(
      "", kUtf8,
      [&] {
        ::dup2(connection.sender(), STDOUT_FILENO);
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
    return "returned";
  });
  EXPECT_TRUE(run.exited_cleanly());
  EXPECT_EQ(run.report, "returned");
}

TEST(ConsoleReadTest, LinesLoseTheirLineEndAndEmptyLinesAreEmpty) {
  const auto run =
      run_in_child("abc\na\r\n\n\xE6\xAD\x8C\nlast", kUtf8, [] { return read_until_end({}); });
  EXPECT_EQ(run.report, "[abc][a][null][歌][last]end");
}

TEST(ConsoleReadTest, ALongLineComesInReadsOf2048Bytes) {
  const std::string line = std::string(2048, 'x') + std::string(952, 'y') + "\n";
  const auto run = run_in_child(line, kUtf8, [] { return read_until_end({}); });
  EXPECT_EQ(run.report, "[" + std::string(2048, 'x') + "][" + std::string(952, 'y') + "]end");
}

TEST(ConsoleReadTest, EndOfInputAndUnreadableInputAreToldApartFromEmptyLines) {
  EXPECT_EQ(run_in_child("", kUtf8, [] { return read_until_end({}); }).report, "end");
  const auto closed = run_in_child("", kUtf8, [] {
    ::close(STDIN_FILENO);
    return read_until_end({});
  });
  EXPECT_EQ(closed.report, "unreadable");
  const auto plain = run_in_child("\n", kUtf8, [] {
    const bool first_is_null = console_read({}).is_null();
    return std::string(first_is_null && console_read({}).is_null() ? "null null" : "text");
  });
  EXPECT_EQ(plain.report, "null null");
}

TEST(ConsoleReadTest, KeysWithoutEchoFromAStream) {
  const TypedArg no_echo[] = {TypedArg::logical(false)};
  const auto run = run_in_child("ab\b\r\n\nc", kUtf8, [&] { return read_until_end(no_echo); });
  EXPECT_EQ(run.report, "[ab\b][null][c]end");
}

TEST(ConsoleReadTest, KeysWithoutEchoShowNothingOnATerminal) {
  int report[2];
  ASSERT_EQ(::pipe(report), 0);
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::alarm(20);
    const TypedArg no_echo[] = {TypedArg::logical(false)};
    const Text keys = console_read(no_echo);
    (void)!::write(report[1], keys.c_str(), keys.size());
    ::_exit(0);
  }
  ::close(report[1]);
  bool echo_off = false;
  for (int tries = 0; tries < 2000 && !echo_off; ++tries) {
    termios mode{};
    echo_off = ::tcgetattr(master, &mode) == 0 && (mode.c_lflag & ECHO) == 0;
    if (!echo_off) ::usleep(1000);
  }
  ASSERT_TRUE(echo_off);
  ASSERT_EQ(::write(master, "key\r", 4), 4);
  char chunk[64];
  std::string keys;
  for (ssize_t count; (count = ::read(report[0], chunk, sizeof chunk)) > 0;)
    keys.append(chunk, static_cast<std::size_t>(count));
  ::waitpid(pid, nullptr, 0);
  std::string shown;
  ::fcntl(master, F_SETFL, O_NONBLOCK);
  for (ssize_t count; (count = ::read(master, chunk, sizeof chunk)) > 0;)
    shown.append(chunk, static_cast<std::size_t>(count));
  ::close(master);
  ::close(report[0]);
  EXPECT_EQ(keys, "key");
  EXPECT_EQ(shown, "");
}

}  // namespace
