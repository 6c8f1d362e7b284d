// A batch of 200 searches as the built program runs it (--batch-file), against the demo service
// delaying every answer by 50 ms: --jobs 16 against the baseline --jobs 1, in the same run, with
// the same output bytes. While each batch runs, the resident memory of its process and its
// workers is sampled from /proc, and the largest total is reported.
//
// One search is six answers one after another, so the baseline takes about a minute: one
// iteration each. The summary at the end gives the speed-up (the aim is at least 12x) and the
// total resident memory of the 16-job batch.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr int kKeywords = 200;
constexpr char kAnswerDelayMs[] = "50";
constexpr double kAimedSpeedUp = 12;

const std::string& scratch_folder() {
  static const std::string folder = [] {
    std::string pattern = "/tmp/songsearch_batch_bench_XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string("/tmp");
  }();
  return folder;
}

// Starts `arguments` with standard output to `output` (a descriptor) and standard error to
// /dev/null; its process id, or -1.
pid_t spawn(const std::vector<std::string>& arguments, int output) {
  std::vector<char*> vector;
  for (const std::string& argument : arguments)
    vector.push_back(const_cast<char*>(argument.c_str()));
  vector.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = -1;
  if (posix_spawn(&child, vector[0], &actions, nullptr, vector.data(), environ) != 0) child = -1;
  posix_spawn_file_actions_destroy(&actions);
  return child;
}

// The demo service with its answers delayed, for the whole run, on the port it chose.
class DemoService {
 public:
  DemoService() {
    const std::string log = scratch_folder() + "/demo-service.log";
    const int output = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    pid_ = spawn({DEMO_SERVICE, "--answer-delay", kAnswerDelayMs}, output);
    ::close(output);
    for (int tries = 0; tries < 200 && port_.empty() && pid_ > 0; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
      std::ifstream first_line(log);
      std::string line;
      std::getline(first_line, line);
      const std::size_t at = line.find("127.0.0.1:");
      if (at != std::string::npos) port_ = line.substr(at + 10, line.find(',', at) - at - 10);
    }
    ::unlink(log.c_str());  // the service writes on to it unseen; nothing is left behind
  }
  ~DemoService() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  DemoService(const DemoService&) = delete;
  DemoService& operator=(const DemoService&) = delete;

  [[nodiscard]] bool started() const { return !port_.empty(); }
  [[nodiscard]] std::string search_host() const { return "127.0.0.1:" + port_; }
  [[nodiscard]] std::string play_host() const { return "127.0.0.2:" + port_; }

 private:
  pid_t pid_ = -1;
  std::string port_;
};

DemoService& demo_service() {
  static DemoService service;
  return service;
}

// Whether the program can search for `keyword` (UTF-8) as the service spells it: it pastes the
// keyword into the address as typed, in GBK, so a character GBK lacks goes out as "?" and an "&"
// ends the parameter. ASCII and CJK ideographs (lead bytes 0xE4 to 0xE9) make it through.
bool searchable(const std::string& keyword) {
  return std::none_of(keyword.begin(), keyword.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte == '&' || (byte >= 0xC0 && byte < 0xE4) || byte > 0xE9;
  });
}

// 200 keywords that find songs: the catalog's titles and artists, again and again.
std::string keyword_file() {
  std::ifstream catalog(DEMO_CATALOG);
  std::vector<std::string> searched;
  for (std::string line; std::getline(catalog, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string hash, title, artist;
    std::getline(fields, hash, '\t');
    std::getline(fields, title, '\t');
    std::getline(fields, artist, '\t');
    for (const std::string& keyword : {title, artist}) {
      if (searchable(keyword)) searched.push_back(keyword);
    }
  }
  std::string text;
  for (std::size_t i = 0; i < kKeywords && !searched.empty(); ++i)
    text += searched[i % searched.size()] + "\n";
  const std::string path = scratch_folder() + "/keywords.txt";
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// The line `name` of /proc/<pid>/`file` in bytes (a figure in kB); 0 when the process is gone.
std::uint64_t kilobyte_line(pid_t pid, const char* file, std::string_view name) {
  std::ifstream lines("/proc/" + std::to_string(pid) + "/" + file);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(name)) return std::stoull(line.substr(name.size())) * 1024;
  }
  return 0;
}

// What process `pid` holds in memory: all its resident pages (VmRSS), and its proportional
// share of them (Pss), where a page shared with the processes forked from the same parent counts
// once across them all.
struct Resident {
  std::uint64_t rss = 0, pss = 0;
};

Resident resident_of(pid_t pid) {
  return {kilobyte_line(pid, "status", "VmRSS:"), kilobyte_line(pid, "smaps_rollup", "Pss:")};
}

// The parent process id of process `pid`, from /proc/<pid>/stat; -1 when it is gone.
pid_t parent_of(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const std::size_t name_end = line.rfind(')');
  if (name_end == std::string::npos) return -1;
  std::istringstream rest(line.substr(name_end + 2));
  char state = 0;
  pid_t parent = -1;
  rest >> state >> parent;
  return parent;
}

struct ResidentTotal {
  std::uint64_t bytes = 0;               // VmRSS
  std::uint64_t proportional_bytes = 0;  // Pss
  int processes = 0;

  void add(const Resident& process) {
    bytes += process.rss;
    proportional_bytes += process.pss;
    ++processes;
  }
};

// The resident memory of `batch` and of its children, its workers, summed.
ResidentTotal resident_total(pid_t batch) {
  ResidentTotal total;
  total.add(resident_of(batch));
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return total;
  while (const dirent* entry = ::readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0 || parent_of(pid) != batch) continue;
    const Resident child = resident_of(pid);
    if (child.rss > 0) total.add(child);  // none for a child that has ended
  }
  ::closedir(proc);
  return total;
}

struct BatchRun {
  std::string output;
  int exit_code = -1;
  double seconds = 0;
  ResidentTotal largest;  // the largest total sampled while it ran
};

// Runs the program's batch of `keywords` with `jobs` workers, sampling its memory as it runs.
BatchRun run_batch(const std::string& keywords, int jobs) {
  BatchRun run;
  int pipe_ends[2];
  if (::pipe2(pipe_ends, O_CLOEXEC) != 0) return run;
  const DemoService& service = demo_service();
  const auto start = std::chrono::steady_clock::now();
  const pid_t batch =
      spawn({SONGSEARCH_PROGRAM, "--search-host", service.search_host(), "--play-host",
             service.play_host(), "--jobs", std::to_string(jobs), "--batch-file", keywords},
            pipe_ends[1]);
  ::close(pipe_ends[1]);
  std::atomic<bool> ended = false;
  std::thread sampler([&] {
    while (!ended && batch > 0) {
      const ResidentTotal now = resident_total(batch);
      if (now.bytes > run.largest.bytes) run.largest = now;  // the Pss of that same sample
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  char chunk[64 * 1024];
  for (ssize_t count; (count = ::read(pipe_ends[0], chunk, sizeof chunk)) != 0;) {
    if (count > 0) run.output.append(chunk, static_cast<std::size_t>(count));
    if (count < 0 && errno != EINTR) break;
  }
  ::close(pipe_ends[0]);
  int status = 0;
  if (batch > 0) ::waitpid(batch, &status, 0);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ended = true;
  sampler.join();
  run.exit_code = batch > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

BatchRun one_job, sixteen_jobs;

void report(benchmark::State& state, const BatchRun& run) {
  state.counters["rss_total_MiB"] = static_cast<double>(run.largest.bytes) / (1 << 20);
  state.counters["pss_total_MiB"] = static_cast<double>(run.largest.proportional_bytes) / (1 << 20);
  state.counters["processes"] = run.largest.processes;
  state.counters["output_bytes"] = static_cast<double>(run.output.size());
}

void BM_Batch200_Jobs1(benchmark::State& state) {
  const std::string keywords = keyword_file();
  if (!demo_service().started()) state.SkipWithError("the demo service did not start");
  for (auto _ : state) {
    one_job = run_batch(keywords, 1);
    state.SetIterationTime(one_job.seconds);
    if (one_job.exit_code != 0) state.SkipWithError("the batch did not find every keyword");
  }
  report(state, one_job);
}

void BM_Batch200_Jobs16(benchmark::State& state) {
  const std::string keywords = keyword_file();
  if (!demo_service().started()) state.SkipWithError("the demo service did not start");
  for (auto _ : state) {
    sixteen_jobs = run_batch(keywords, 16);
    state.SetIterationTime(sixteen_jobs.seconds);
    if (sixteen_jobs.exit_code != 0) state.SkipWithError("the batch did not find every keyword");
  }
  report(state, sixteen_jobs);
  state.counters["same_output"] = sixteen_jobs.output == one_job.output ? 1 : 0;
  if (sixteen_jobs.seconds > 0) state.counters["speed_up"] = one_job.seconds / sixteen_jobs.seconds;
}

}  // namespace

BENCHMARK(BM_Batch200_Jobs1)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_Batch200_Jobs16)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (one_job.seconds > 0 && sixteen_jobs.seconds > 0) {
    std::printf(
        "batch of %d keywords at %s ms an answer: --jobs 16 %.2fx faster than --jobs 1 "
        "(aim: %.0fx), output %s (%zu bytes)\n",
        kKeywords, kAnswerDelayMs, one_job.seconds / sixteen_jobs.seconds, kAimedSpeedUp,
        sixteen_jobs.output == one_job.output ? "the same" : "DIFFERENT", one_job.output.size());
    const auto mib = [](std::uint64_t bytes) { return static_cast<double>(bytes) / (1 << 20); };
    std::printf(
        "resident memory of the 16-job batch, parent and workers: VmRSS %.1f MiB in %d "
        "processes (Pss %.1f MiB); of the 1-job batch: VmRSS %.1f MiB in %d (Pss %.1f "
        "MiB)\n",
        mib(sixteen_jobs.largest.bytes), sixteen_jobs.largest.processes,
        mib(sixteen_jobs.largest.proportional_bytes), mib(one_job.largest.bytes),
        one_job.largest.processes, mib(one_job.largest.proportional_bytes));
  }
  ::unlink((scratch_folder() + "/keywords.txt").c_str());
  ::rmdir(scratch_folder().c_str());
  return 0;
}
