// Batches with a search of the test's own: the order of the reports, the worst status, workers
// that die, and reports larger than a socket's buffer.
#include "app/batch_runner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Written {
  std::vector<std::string> keywords;
  std::vector<SearchReport> reports;
};

// A search whose keyword says what it does: "slow..." waits, "none..." finds nothing, "crash"
// dies by a signal, "exit" ends its process as a fatal error does; every report's output names
// the keyword and the process that searched it.
SearchReport scripted_search(const std::string& keyword) {
  if (keyword == "crash") std::raise(SIGKILL);
  if (keyword == "exit") ::_exit(0);
  if (keyword.starts_with("slow")) std::this_thread::sleep_for(std::chrono::milliseconds(300));
  SearchReport report;
  report.output = keyword + " " + std::to_string(::getpid()) + "\n";
  report.status = keyword.starts_with("none") ? kExitNothingFound : kExitFound;
  if (report.status != kExitFound) report.error = "nothing for " + keyword + "\n";
  return report;
}

int run(const std::vector<std::string>& keywords, int jobs, Written* written,
        const KeywordSearch& search = scripted_search) {
  return run_batch(keywords, jobs, search, [written](const std::string& k, const SearchReport& r) {
    written->keywords.push_back(k);
    written->reports.push_back(r);
  });
}

std::string keyword_of(const SearchReport& report) {
  return report.output.substr(0, report.output.find(' '));
}

TEST(BatchRunnerTest, ReportsComeInTheOrderOfTheKeywordsWithTheWorstStatus) {
  const std::vector<std::string> keywords = {"slow-1", "a", "none-1", "slow-2", "b", "c"};
  for (const int jobs : {1, 3, 100}) {
    SCOPED_TRACE(jobs);
    Written written;
    EXPECT_EQ(run(keywords, jobs, &written), kExitNothingFound);
    EXPECT_EQ(written.keywords, keywords);
    std::set<std::string> processes;
    for (std::size_t i = 0; i < written.reports.size(); ++i) {
      const SearchReport& report = written.reports[i];
      EXPECT_EQ(keyword_of(report), keywords[i]);
      const std::string process = report.output.substr(report.output.find(' ') + 1);
      EXPECT_NE(process, std::to_string(::getpid()) + "\n") << "searched in a worker";
      processes.insert(process);
    }
    EXPECT_EQ(written.reports[2].error, "nothing for none-1\n");
    EXPECT_EQ(processes.size() > 1, jobs > 1);
  }
}

TEST(BatchRunnerTest, AWorkerThatDiesFailsItsKeywordAndTheBatchGoesOn) {
  const std::vector<std::string> keywords = {"a", "crash", "b", "exit", "c", "d"};
  for (const int jobs : {1, 2}) {
    SCOPED_TRACE(jobs);
    Written written;
    EXPECT_EQ(run(keywords, jobs, &written), kExitSearchFailed);
    ASSERT_EQ(written.keywords, keywords);
    for (const std::size_t lost : {1u, 3u}) {
      const SearchReport& report = written.reports[lost];
      EXPECT_EQ(report.status, kExitSearchFailed);
      EXPECT_EQ(report.output, "");
      EXPECT_NE(report.error.find("\"" + keywords[lost] + "\""), std::string::npos) << report.error;
    }
    EXPECT_NE(written.reports[1].error.find("signal 9"), std::string::npos);
    for (const std::size_t found : {0u, 2u, 4u, 5u})
      EXPECT_EQ(keyword_of(written.reports[found]), keywords[found]);
  }
}

TEST(BatchRunnerTest, AReportLargerThanTheSocketsBufferArrivesWhole) {
  std::string large(3 * 1024 * 1024 + 5, '\0');
  for (std::size_t i = 0; i < large.size(); ++i)
    large[i] = static_cast<char>(i * 7 + i / 1000);
  Written written;
  const auto search = [&large](const std::string& keyword) {
    return SearchReport{.output = keyword + large, .error = keyword};
  };
  EXPECT_EQ(run({"x", "y"}, 2, &written, search), kExitFound);
  ASSERT_EQ(written.reports.size(), 2u);
  EXPECT_TRUE(written.reports[1].output == "y" + large);
  EXPECT_EQ(written.reports[1].error, "y");
}

}  // namespace
