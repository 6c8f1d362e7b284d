#include "console/console_helper.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/process/process.h"
#include "tests/support/descriptor_capture.h"

namespace {

std::vector<std::string> started;
std::vector<WORD> show_states;

void observe(const char* command_line, const STARTUPINFOA* startup) {
  started.emplace_back(command_line);
  show_states.push_back(startup->wShowWindow);
}

// Runs `call` with standard output and error caught until the children it starts have ended, so
// that their escape sequences and notices stay off the test's own output; returns what it returned.
template <class Call>
auto quietly(Call call) {
  DescriptorCapture output(STDOUT_FILENO);
  DescriptorCapture errors(STDERR_FILENO);
  return call();
}

// Records the command lines that reach CreateProcessA.
class ConsoleHelperTest : public testing::Test {
 protected:
  void SetUp() override {
    started.clear();
    show_states.clear();
    SetCreateProcessObserver(observe);
  }
  void TearDown() override { SetCreateProcessObserver(nullptr); }
  // The command line of the last start, or "(nothing)".
  static std::string last_started() { return started.empty() ? "(nothing)" : started.back(); }

  ConsoleHelper helper_;
};

TEST_F(ConsoleHelperTest, CloneGivesANewBlockWithTheSameTableAndMovingEmptiesTheOwner) {
  ConsoleHelper copy = helper_.clone();
  ASSERT_NE(copy.get(), nullptr);
  EXPECT_NE(copy.get(), helper_.get());
  EXPECT_EQ(copy.get()->operations, &kConsoleHelperOperations);
  ConsoleHelper moved = std::move(copy);
  EXPECT_EQ(copy.get(), nullptr);
  EXPECT_FALSE(copy.run_command("echo never"));
  EXPECT_TRUE(started.empty());
}

TEST_F(ConsoleHelperTest, MethodsStartTheirExactLinesWithoutWaitingAndShown) {
  quietly([&] {
    helper_.run_empty_command();
    helper_.clear_screen();
    helper_.start_interpreter(TypedArg::integer(5));
    return 0;
  });
  EXPECT_TRUE(quietly([&] { return helper_.run_command(""); }));
  EXPECT_EQ(started, (std::vector<std::string>{"cmd.exe /c", "cmd.exe /c cls", "cmd.exe -c ",
                                               "cmd.exe /c "}));
  EXPECT_EQ(show_states, std::vector<WORD>(4, SW_SHOW));
}

TEST_F(ConsoleHelperTest, SetColorsWritesOneHexadecimalDigitPerColour) {
  struct Case {
    std::optional<std::int32_t> background, foreground;
    std::string digits;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt, "F"},
      {1, 14, "1E"},
      {0, 7, "7"},
      {10, 10, "AA"},
      {0, 0, ""},
      {9, 1, "91"},
      {std::nullopt, 11, "B"},
      {5, std::nullopt, "5F"},
      // A lone digit would be read as the foreground: a black one keeps its "0".
      {12, 0, "C0"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(quietly([&] { return helper_.set_colors(c.background, c.foreground); }));
    EXPECT_EQ(last_started(), "cmd.exe /c color  " + c.digits)
        << c.background.value_or(-99) << ", " << c.foreground.value_or(-99);
  }
}

TEST_F(ConsoleHelperTest, SetColorsRefusesValuesOutOfRangeAndStartsNothing) {
  EXPECT_FALSE(helper_.set_colors(16, 1));
  EXPECT_FALSE(helper_.set_colors(-1, 1));
  EXPECT_FALSE(helper_.set_colors(1, 16));
  EXPECT_FALSE(helper_.set_colors(std::nullopt, -1));
  EXPECT_TRUE(started.empty());
}

TEST_F(ConsoleHelperTest, RunCommandReturnsAtOnceAndItsOutputReachesTheSharedConsole) {
  DescriptorCapture output(STDOUT_FILENO);
  const bool started_it = helper_.run_command("echo hi");
  EXPECT_EQ(output.finish(), "hi\n");
  EXPECT_TRUE(started_it);
  EXPECT_EQ(last_started(), "cmd.exe /c echo hi");
}

}  // namespace
