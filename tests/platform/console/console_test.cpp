#include "platform/console/console.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/redirected_child.h"

namespace {

using test_support::run_in_child;

constexpr char kUtf8[] = "C.UTF-8";
constexpr char kGbkZhongWen[] = "\xD6\xD0\xCE\xC4";           // 中文
constexpr char kUtf8ZhongWen[] = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文

// One WriteFile call; reports the count written, or "failed".
std::string write_once(DWORD which, std::string_view bytes) {
  DWORD written = 0;
  const BOOL ok = WriteFile(GetStdHandle(which), bytes.data(), static_cast<DWORD>(bytes.size()),
                            &written, nullptr);
  return ok ? std::to_string(written) + " " : "failed ";
}

TEST(ConsoleTest, OutputIsConvertedEvenWhenACharacterIsSplitBetweenWrites) {
  const auto utf8 = run_in_child("", kUtf8, [] {
    std::string report = write_once(STD_OUTPUT_HANDLE, "a\xD6");
    return report + write_once(STD_OUTPUT_HANDLE, "\xD0\xCE\xC4");
  });
  EXPECT_EQ(utf8.out, std::string("a") + kUtf8ZhongWen);
  EXPECT_EQ(utf8.report, "2 3 ");  // the held lead byte counts as written by the first call
  const auto gbk =
      run_in_child("", "zh_CN.GBK", [] { return write_once(STD_ERROR_HANDLE, kGbkZhongWen); });
  EXPECT_EQ(gbk.err, kGbkZhongWen);
}

TEST(ConsoleTest, PartialWritesCountTheGbkBytesWhoseCharactersWentOut) {
  std::string text, expected;
  for (int i = 0; i < 3000; ++i) {
    text += i % 7 == 0 ? std::string("x") : std::string(kGbkZhongWen, 2);
    expected += i % 7 == 0 ? std::string("x") : std::string(kUtf8ZhongWen, 3);
  }
  test_support::SlowConnection connection;
  std::string received;
  const auto run = run_in_child(
      "", kUtf8,
      [&] {
        ::dup2(connection.sender, STDOUT_FILENO);
        bool partial = false;
        for (std::size_t at = 0, piece; at < text.size(); at += piece) {
          DWORD written = 0;
          piece = std::min<std::size_t>(1024, text.size() - at);
          if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data() + at,
                         static_cast<DWORD>(piece), &written, nullptr)) {
            return "failed";
          }
          partial = partial || written < piece;
          piece = written;
        }
        return partial ? "partial" : "whole";
      },
      [&] { received = connection.receive_slowly(); });
  EXPECT_EQ(run.report, "partial");
  EXPECT_TRUE(received == expected) << received.size() << " bytes of " << expected.size();
}

TEST(ConsoleTest, LineInputKeepsTheRestForTheNextReadAndNeverCutsACharacter) {
  const auto run = run_in_child(std::string("abc\na") + kUtf8ZhongWen + "\n", kUtf8, [] {
    std::string report;
    char buffer[2];
    for (DWORD read;
         ReadConsoleA(GetStdHandle(STD_INPUT_HANDLE), buffer, 2, &read, nullptr) && read > 0;)
      report += "[" + std::string(buffer, read) + "]";
    return report;
  });
  EXPECT_EQ(run.report, "[ab][c\r][\n][a][\xD6\xD0][\xCE\xC4][\r\n]");
}

}  // namespace
