#include "platform/line_editor/history_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

// Sets an environment variable (or unsets it, for nullopt) and puts the old value back.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    set(value);
  }
  ~ScopedVariable() { set(old_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  void set(const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name_, value->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  const char* name_;
  std::optional<std::string> old_;
};

TEST(HistoryFileTest, ThePathFollowsTheVariablesInTheirOrder) {
  using Value = std::optional<std::string>;
  const struct {
    Value chosen, state, home;
    std::string path;
    bool no_home;
  } cases[] = {
      {"/x/keywords", "/state", "/home/u", "/x/keywords", false},
      {"", "/state", "/home/u", "", false},
      {std::nullopt, "/state", "/home/u", "/state/songsearch/history", false},
      {std::nullopt, "relative", "/home/u", "/home/u/.local/state/songsearch/history", false},
      {std::nullopt, std::nullopt, "/home/u", "/home/u/.local/state/songsearch/history", false},
      {std::nullopt, "", std::nullopt, "", true},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.path);
    const ScopedVariable chosen("SONGSEARCH_HISTORY", each.chosen);
    const ScopedVariable state("XDG_STATE_HOME", each.state);
    const ScopedVariable home("HOME", each.home);
    bool no_home = !each.no_home;
    EXPECT_EQ(history_file_path(&no_home), each.path);
    EXPECT_EQ(no_home, each.no_home);
  }
}

class HistoryFileOnDiskTest : public testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/songsearch-history-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    folder_ = folder;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string folder_;
};

TEST_F(HistoryFileOnDiskTest, SavingKeepsTheNewestThousandInAPrivateFileAndMakesItsFolders) {
  std::vector<std::string> entries;
  for (int i = 0; i < 1005; ++i)
    entries.push_back("k" + std::to_string(i));
  const std::string path = folder_ + "/state/songsearch/history";
  ASSERT_TRUE(save_history(path, entries));

  struct stat file {};
  ASSERT_EQ(::stat(path.c_str(), &file), 0);
  EXPECT_EQ(file.st_mode & 0777, 0600u);
  std::vector<std::string> loaded;
  ASSERT_TRUE(load_history(path, &loaded));
  ASSERT_EQ(loaded.size(), kHistoryLimit);
  EXPECT_EQ(loaded.front(), "k5");
  EXPECT_EQ(loaded.back(), "k1004");
  EXPECT_EQ(std::filesystem::directory_iterator(folder_ + "/state/songsearch")->path(), path)
      << "no temporary file is left beside it";
}

TEST_F(HistoryFileOnDiskTest, LoadingSkipsEmptyLinesAndTellsAMissingFileFromAnUnreadableOne) {
  const std::string path = folder_ + "/history";
  std::vector<std::string> loaded = {"stale"};
  EXPECT_TRUE(load_history(path, &loaded));
  EXPECT_TRUE(loaded.empty());

  std::ofstream(path) << "moon\n\n\xE6\x98\x9F\xE6\x98\x9F\nlast line without end";
  ASSERT_TRUE(load_history(path, &loaded));
  EXPECT_EQ(loaded, (std::vector<std::string>{"moon", "\xE6\x98\x9F\xE6\x98\x9F",
                                              "last line without end"}));

  EXPECT_FALSE(load_history(folder_, &loaded));  // a folder
  EXPECT_FALSE(load_history(path + "/history", &loaded));
  EXPECT_FALSE(save_history(path + "/history", loaded));  // under a regular file
}

}  // namespace
