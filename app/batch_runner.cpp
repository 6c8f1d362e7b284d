#include "app/batch_runner.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>

#include "app/batch_frames.h"
#include "app/shown_text.h"
#include "platform/console/terminal_charset.h"
#include "runtime/text_blocks.h"

namespace {

struct Worker {
  pid_t pid = -1;
  int socket = -1;                     // the batch's end of the socket pair
  std::optional<std::size_t> keyword;  // the index of the keyword it searches, when busy
};

// A worker's life: a keyword in, a report out, until the batch closes its end.
[[noreturn]] void serve_keywords(int socket, const KeywordSearch& search) {
  ::dup2(STDERR_FILENO, STDOUT_FILENO);
  while (const std::optional<std::string> keyword = read_frame(socket)) {
    const SearchReport report = search(*keyword);
    std::fflush(nullptr);
    if (!write_frame(socket, encode_report(report))) break;
  }
  std::fflush(nullptr);
  ::_exit(0);
}

// How a worker that is gone ended, in words for the error line.
std::string ending_of(pid_t pid) {
  ::kill(pid, SIGKILL);  // one that closed its end and lives on is ended here
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return "ended";
  }
  if (WIFSIGNALED(status)) return "was killed by signal " + std::to_string(WTERMSIG(status));
  return "ended with status " + std::to_string(WEXITSTATUS(status));
}

// The keyword is GBK and the line is for the terminal; a control character in the keyword must
// not steer it.
SearchReport lost_search(const std::string& keyword, const std::string& why) {
  const Text shown_keyword = without_control_characters(text_from_buffer(keyword));
  SearchReport report;
  report.status = kExitSearchFailed;
  report.error = "songsearch: the search for \"" + gbk_to_terminal(shown_keyword.view()) +
                 "\" failed: its worker " + why + "\n";
  return report;
}

class Batch {
 public:
  Batch(std::span<const std::string> keywords, int jobs, const KeywordSearch& search,
        const ReportWriter& write)
      : keywords_(keywords),
        jobs_(static_cast<std::size_t>(std::clamp(jobs, 1, kMostJobs))),
        search_(search),
        write_(write),
        reports_(keywords.size()) {}

  int run() {
    while (written_ < keywords_.size()) {
      start_workers();
      if (workers_.empty()) {
        fail_the_rest("could not be started");
        break;
      }
      hand_out_keywords();
      take_reports();
      write_ready_reports();
    }
    stop_workers();
    return worst_;
  }

 private:
  [[nodiscard]] bool work_left() const { return handed_out_ < keywords_.size(); }

  void start_workers() {
    const std::size_t wanted = std::min(jobs_, keywords_.size() - written_);
    while (workers_.size() < wanted && work_left()) {
      if (!start_worker()) return;
    }
  }

  bool start_worker() {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t pid = ::fork();
    if (pid == 0) {
      for (const Worker& other : workers_)
        ::close(other.socket);
      ::close(ends[0]);
      serve_keywords(ends[1], search_);
    }
    ::close(ends[1]);
    if (pid < 0) {
      ::close(ends[0]);
      return false;
    }
    workers_.push_back({pid, ends[0], std::nullopt});
    return true;
  }

  // A keyword that cannot be sent goes to the next worker; the worker that refused it is gone.
  void hand_out_keywords() {
    for (std::size_t at = 0; at < workers_.size() && work_left();) {
      Worker& worker = workers_[at];
      if (worker.keyword) {
        ++at;
      } else if (write_frame(worker.socket, keywords_[handed_out_])) {
        worker.keyword = handed_out_++;
        ++at;
      } else {
        retire(at);
      }
    }
  }

  void take_reports() {
    std::vector<pollfd> busy;
    for (const Worker& worker : workers_) {
      if (worker.keyword) busy.push_back({worker.socket, POLLIN, 0});
    }
    if (busy.empty()) return;
    if (::poll(busy.data(), busy.size(), -1) < 0) return;  // interrupted: the loop comes again
    for (const pollfd& ready : busy) {
      if (ready.revents == 0) continue;
      const auto found = std::find_if(workers_.begin(), workers_.end(),
                                      [&](const Worker& w) { return w.socket == ready.fd; });
      if (found != workers_.end()) take_report(static_cast<std::size_t>(found - workers_.begin()));
    }
  }

  void take_report(std::size_t at) {
    Worker& worker = workers_[at];
    const std::size_t keyword = *worker.keyword;
    const std::optional<std::string> frame = read_frame(worker.socket);
    std::optional<SearchReport> report = frame ? decode_report(*frame) : std::nullopt;
    if (report) {
      reports_[keyword] = std::move(*report);
      worker.keyword.reset();
      return;
    }
    reports_[keyword] = lost_search(keywords_[keyword], retire(at));
  }

  // Ends the worker at `at` and drops it; how it ended.
  std::string retire(std::size_t at) {
    const Worker worker = workers_[at];
    workers_.erase(workers_.begin() + static_cast<std::ptrdiff_t>(at));
    ::close(worker.socket);
    return ending_of(worker.pid);
  }

  void write_ready_reports() {
    while (written_ < keywords_.size() && reports_[written_]) {
      const SearchReport& report = *reports_[written_];
      worst_ = std::max(worst_, report.status);
      write_(keywords_[written_], report);
      reports_[written_].reset();
      ++written_;
    }
  }

  void fail_the_rest(const std::string& why) {
    for (; handed_out_ < keywords_.size(); ++handed_out_)
      reports_[handed_out_] = lost_search(keywords_[handed_out_], why);
    write_ready_reports();
  }

  // A worker whose end is closed reads the end of its keywords and exits.
  void stop_workers() {
    for (const Worker& worker : workers_)
      ::close(worker.socket);
    for (const Worker& worker : workers_) {
      int status = 0;
      while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
    workers_.clear();
  }

  std::span<const std::string> keywords_;
  const std::size_t jobs_;
  const KeywordSearch& search_;
  const ReportWriter& write_;
  std::vector<Worker> workers_;
  std::vector<std::optional<SearchReport>> reports_;  // by keyword, until written
  std::size_t handed_out_ = 0;
  std::size_t written_ = 0;
  int worst_ = kExitFound;
};

}  // namespace

std::vector<std::string> batch_keywords(std::string_view text) {
  std::vector<std::string> keywords;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(text.size(), end + 1));
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!line.empty()) keywords.emplace_back(line);
  }
  return keywords;
}

int run_batch(std::span<const std::string> keywords, int jobs, const KeywordSearch& search,
              const ReportWriter& write) {
  return Batch(keywords, jobs, search, write).run();
}
