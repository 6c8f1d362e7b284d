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

// Sets an environment variable, or unsets it for nullopt.
void set_variable(const char* name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

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
  const char* const names[] = {"SONGSEARCH_HISTORY", "XDG_STATE_HOME", "HOME"};
  std::vector<Value> outer;
  for (const char* name : names)
    outer.push_back(std::getenv(name) != nullptr ? Value(std::getenv(name)) : std::nullopt);
  for (const auto& each : cases) {
    SCOPED_TRACE(each.path);
    set_variable(names[0], each.chosen);
    set_variable(names[1], each.state);
    set_variable(names[2], each.home);
    bool no_home = !each.no_home;
    EXPECT_EQ(history_file_path(&no_home), each.path);
    EXPECT_EQ(no_home, each.no_home);
  }
  for (std::size_t i = 0; i < outer.size(); ++i)
    set_variable(names[i], outer[i]);
}

TEST(HistoryFileTest, SavingKeepsTheNewestThousandPrivatelyAndLoadingTellsMissingFromUnreadable) {
  char made[] = "/tmp/songsearch-history-XXXXXX";
  ASSERT_NE(::mkdtemp(made), nullptr);
  const std::string folder = made, path = folder + "/state/songsearch/history";
  std::vector<std::string> loaded = {"stale"};
  EXPECT_TRUE(load_history(path, &loaded)) << "a missing file is an empty history";
  EXPECT_TRUE(loaded.empty());

  std::vector<std::string> entries;
  for (int i = 0; i < 1005; ++i)
    entries.push_back("k" + std::to_string(i));
  ASSERT_TRUE(save_history(path, entries));
  struct stat file {};
  ASSERT_EQ(::stat(path.c_str(), &file), 0);
  EXPECT_EQ(file.st_mode & 0777, 0600u);
  ASSERT_TRUE(load_history(path, &loaded));
  ASSERT_EQ(loaded.size(), kHistoryLimit);
  EXPECT_EQ(loaded.front(), "k5");
  EXPECT_EQ(loaded.back(), "k1004");
  EXPECT_EQ(std::filesystem::directory_iterator(folder + "/state/songsearch")->path(), path)
      << "no temporary file is left beside it";

  std::ofstream(path) << "moon\n\n\xE6\x98\x9F\xE6\x98\x9F\nlast line without end";
  ASSERT_TRUE(load_history(path, &loaded));
  EXPECT_EQ(loaded, (std::vector<std::string>{"moon", "\xE6\x98\x9F\xE6\x98\x9F",
                                              "last line without end"}));
  EXPECT_FALSE(load_history(folder, &loaded));  // a folder
  EXPECT_FALSE(load_history(path + "/history", &loaded));
  EXPECT_FALSE(save_history(path + "/history", loaded));  // under a regular file
  std::filesystem::remove_all(folder);
}

}  // namespace
