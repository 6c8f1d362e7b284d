#include "runtime/process_runner.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/process/process.h"
#include "tests/support/descriptor_capture.h"

namespace {

struct Started {
  std::string command_line;
  STARTUPINFOA startup;
};
std::vector<Started> started;

void observe(const char* command_line, const STARTUPINFOA* startup) {
  started.push_back({command_line ? command_line : "", startup ? *startup : STARTUPINFOA{}});
}

bool file_exists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

// Waits (up to about ten seconds) until `done` holds; whether it did.
template <class Condition>
bool eventually(Condition done) {
  for (int tries = 0; tries < 1000; ++tries, ::usleep(10000)) {
    if (done()) return true;
  }
  return done();
}

// The processes whose parent is this one, and how many of them are zombies.
struct Children {
  int alive = 0;
  int zombies = 0;
};
Children children_of_this_process() {
  Children children;
  DIR* proc = ::opendir("/proc");
  while (dirent* entry = ::readdir(proc)) {
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const auto after_name = line.rfind(')');
    if (after_name == std::string::npos) continue;
    char state = 0;
    int parent = 0;
    if (std::sscanf(line.c_str() + after_name + 1, " %c %d", &state, &parent) != 2) continue;
    if (parent != ::getpid()) continue;
    ++(state == 'Z' ? children.zombies : children.alive);
  }
  ::closedir(proc);
  return children;
}

int open_descriptors() {
  int count = 0;
  DIR* fds = ::opendir("/proc/self/fd");
  while (::readdir(fds) != nullptr)
    ++count;
  ::closedir(fds);
  return count;
}

class ProcessRunnerTest : public testing::Test {
 protected:
  void SetUp() override {
    started.clear();
    ::unlink(marker_.c_str());
  }
  void TearDown() override {
    SetCreateProcessObserver(nullptr);
    ::unlink(marker_.c_str());
  }
  const std::string marker_ =
      testing::TempDir() + "process_runner_" + std::to_string(::getpid()) + ".txt";
};

TEST_F(ProcessRunnerTest, AProgramThatCannotBeStartedGivesFalse) {
  EXPECT_FALSE(run_command_line("no-such-program-anywhere", WaitForExit::yes));
  EXPECT_FALSE(run_command_line("no-such-program-anywhere", WaitForExit::no, 2));
  EXPECT_FALSE(run_command_line("", WaitForExit::no));
}

TEST_F(ProcessRunnerTest, WithoutWaitItReturnsBeforeTheChildHasDoneAnything) {
  ASSERT_TRUE(run_command_line("cmd.exe /c sleep 0.5; echo done > " + marker_, WaitForExit::no));
  EXPECT_FALSE(file_exists(marker_));
  EXPECT_TRUE(eventually([&] { return file_exists(marker_); })) << "the child never ran";
}

TEST_F(ProcessRunnerTest, WithWaitTheChildsEffectIsThereOnReturn) {
  ASSERT_TRUE(run_command_line("cmd.exe /c sleep 0.2; echo done > " + marker_, WaitForExit::yes));
  std::ifstream written(marker_);
  std::string line;
  EXPECT_TRUE(std::getline(written, line));
  EXPECT_EQ(line, "done");
}

TEST_F(ProcessRunnerTest, TheLineReachesCreateProcessUnchangedWithTheMappedShowState) {
  SetCreateProcessObserver(observe);
  const std::string line = R"(cmd.exe /c  : "a\" b"  )";
  const std::vector<std::optional<std::int32_t>> modes = {1, 2, 3, 4, 5, 6, 7, 0, std::nullopt};
  for (const auto& mode : modes)
    ASSERT_TRUE(run_command_line(line, WaitForExit::yes, mode));
  std::vector<WORD> states;
  for (const Started& start : started) {
    EXPECT_EQ(start.command_line, line);
    EXPECT_EQ(start.startup.cb, 68u);
    EXPECT_EQ(start.startup.dwFlags, STARTF_USESHOWWINDOW);
    EXPECT_EQ(start.startup.hStdOutput, nullptr);
    states.push_back(start.startup.wShowWindow);
  }
  EXPECT_EQ(states,
            (std::vector<WORD>{SW_HIDE, SW_SHOW, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED,
                               SW_SHOWNOACTIVATE, SW_SHOWMINNOACTIVE, SW_SHOW, SW_SHOW, SW_SHOW}));
}

TEST_F(ProcessRunnerTest, TheChildWritesToTheSharedStandardOutput) {
  DescriptorCapture output(STDOUT_FILENO);
  ASSERT_TRUE(run_command_line("cmd.exe /c echo hi", WaitForExit::no));
  EXPECT_EQ(output.finish(), "hi\n");
}

TEST_F(ProcessRunnerTest, AThousandRunsLeaveNoZombieAndNoOpenDescriptor) {
  ASSERT_TRUE(eventually([] { return children_of_this_process().alive == 0; }));
  const int descriptors_before = open_descriptors();
  for (int run = 0; run < 1000; ++run) {
    const WaitForExit wait = run % 2 == 0 ? WaitForExit::no : WaitForExit::yes;
    ASSERT_TRUE(run_command_line("cmd.exe /c", wait)) << "run " << run;
  }
  EXPECT_TRUE(eventually([] {
    const Children children = children_of_this_process();
    return children.alive == 0 && children.zombies == 0;
  })) << "zombies left: "
      << children_of_this_process().zombies;
  EXPECT_EQ(open_descriptors(), descriptors_before);
}

}  // namespace
