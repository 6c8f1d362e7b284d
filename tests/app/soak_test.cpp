// A thousand searches in one process: memory stays flat, descriptors and child processes do not
// pile up.
#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/app/end_to_end.h"

namespace end_to_end {
namespace {

using test_support::PipedProgram;
using test_support::RunOptions;

constexpr int kSearches = 1000;
constexpr int kWarmUp = 100;
constexpr long kAllowedGrowthKb = 4 * 1024;

struct Footprint {
  long resident_kb = -1;
  int descriptors = 0;
  int children = 0;
};

long resident_kb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
  }
  return -1;
}

// The entries of a /proc folder whose names pass `counted`.
template <class Counted>
int count_entries(const std::string& folder, Counted counted) {
  DIR* directory = opendir(folder.c_str());
  int count = 0;
  for (dirent* entry; directory != nullptr && (entry = readdir(directory)) != nullptr;) {
    if (entry->d_name[0] != '.' && counted(entry->d_name)) ++count;
  }
  if (directory != nullptr) closedir(directory);
  return count;
}

// Whether process `name` (a /proc entry) is a child of `parent`, zombies included.
bool is_child_of(pid_t parent, const char* name) {
  std::ifstream stat(std::string("/proc/") + name + "/stat");
  std::string line;
  if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) return false;
  std::istringstream after_name(line.substr(line.rfind(')') + 1));
  char state = 0;
  pid_t parent_of = 0;
  after_name >> state >> parent_of;
  return parent_of == parent;
}

Footprint footprint_of(pid_t pid) {
  return {resident_kb(pid),
          count_entries("/proc/" + std::to_string(pid) + "/fd", [](const char*) { return true; }),
          count_entries("/proc", [pid](const char* name) { return is_child_of(pid, name); })};
}

// AddressSanitizer keeps freed blocks in a quarantine that grows resident memory by design; the
// program under test runs without it, so that only memory the program holds shows.
void without_sanitizer_quarantine() {
#if defined(__SANITIZE_ADDRESS__)
  const char* given = std::getenv("ASAN_OPTIONS");
  const std::string options = given != nullptr && *given != '\0' ? std::string(given) + ":" : "";
  setenv("ASAN_OPTIONS", (options + "quarantine_size_mb=0").c_str(), 1);
#endif
}

TEST_F(ProgramTest, AThousandSearchesKeepMemoryFlatAndLeaveNoDescriptorOrChildBehind) {
  serve(kFiveSongs);
  without_sanitizer_quarantine();
  PipedProgram program(kProgram, RunOptions{.time_limit = std::chrono::minutes(8)});
  ASSERT_TRUE(program.started());
  const auto start = std::chrono::steady_clock::now();
  Footprint warm, last;
  for (int search = 1; search <= kSearches; ++search) {
    program.send("moon\n\n");
    ASSERT_TRUE(program.wait_for_output(kFiveSongsListing + kComplete)) << "search " << search;
    if (search == kWarmUp) warm = footprint_of(program.pid());
  }
  ASSERT_TRUE(program.wait_for_output(kPrompt));
  last = footprint_of(program.pid());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "after %d searches: %ld kB resident, %d descriptors, %d children; after %d: %ld kB, "
      "%d descriptors, %d children; %.1f s in all\n",
      kWarmUp, warm.resident_kb, warm.descriptors, warm.children, kSearches, last.resident_kb,
      last.descriptors, last.children, seconds);
  EXPECT_LT(last.resident_kb - warm.resident_kb, kAllowedGrowthKb);
  EXPECT_EQ(last.descriptors, warm.descriptors);
  EXPECT_EQ(last.children, 0);
  EXPECT_EQ(program.finish().exit_code, 0);
}

}  // namespace
}  // namespace end_to_end
