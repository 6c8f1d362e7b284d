// Replays fuzz corpora without libFuzzer: every file named on the command line, or found in a
// folder named there, goes through LLVMFuzzerTestOneInput once, unmutated. The g++ builds link
// each fuzz target with this main, so CTest keeps every committed input passing.
//
// An input that runs longer than the per-input limit fails the replay, as a hang would under
// libFuzzer. A folder without inputs fails too, so a target cannot lose its corpus unnoticed.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

constexpr unsigned kSecondsPerInput = 60;  // generous: the sanitizer build runs at Debug speed

// The input being replayed, for the time-out report; a C string so the handler may print it.
char current_input[4096];

void report_hang(int) {
  const char prefix[] = "fuzz replay: input ran too long: ";
  (void)!write(2, prefix, sizeof prefix - 1);
  (void)!write(2, current_input, std::char_traits<char>::length(current_input));
  (void)!write(2, "\n", 1);
  _exit(1);
}

std::vector<std::filesystem::path> inputs_named_by(int argc, char** argv) {
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path named = argv[i];
    if (!std::filesystem::is_directory(named)) {
      inputs.push_back(named);
      continue;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(named)) {
      if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

bool read_file(const std::filesystem::path& path, std::vector<std::uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  const std::vector<std::filesystem::path> inputs = inputs_named_by(argc, argv);
  if (inputs.empty()) {
    std::fprintf(stderr, "fuzz replay: no inputs found\n");
    return 1;
  }
  signal(SIGALRM, report_hang);
  std::vector<std::uint8_t> bytes;
  for (const auto& path : inputs) {
    if (!read_file(path, &bytes)) {
      std::fprintf(stderr, "fuzz replay: cannot read %s\n", path.c_str());
      return 1;
    }
    std::snprintf(current_input, sizeof current_input, "%s", path.c_str());
    alarm(kSecondsPerInput);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    alarm(0);
  }
  std::printf("fuzz replay: %zu inputs passed\n", inputs.size());
  return 0;
}
