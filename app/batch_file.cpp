#include "app/batch_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "app/batch_runner.h"
#include "app/search_report.h"
#include "app/shown_text.h"
#include "app/song_search.h"
#include "app/standard_streams.h"
#include "platform/console/terminal_charset.h"
#include "runtime/console_io.h"
#include "runtime/text_blocks.h"
#include "runtime/text_scan.h"

namespace {

constexpr char kNamingLinePrefix[] = "== ";

// A descriptor opened for the batch file, closed when the read is done; standard input stays.
class InputFile {
 public:
  explicit InputFile(const std::string& path)
      : descriptor_(path == kBatchFromStandardInput ? STDIN_FILENO
                                                    : ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~InputFile() {
    if (descriptor_ > STDERR_FILENO) ::close(descriptor_);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  [[nodiscard]] int descriptor() const { return descriptor_; }

 private:
  int descriptor_;
};

// All of the file at `path`, or of standard input for "-"; nothing, with errno saying why, when
// it cannot be read to its end.
std::optional<std::string> read_whole(const std::string& path) {
  const InputFile file(path);
  if (file.descriptor() < 0) return std::nullopt;
  std::string text;
  char chunk[64 * 1024];
  for (;;) {
    const ssize_t count = ::read(file.descriptor(), chunk, sizeof chunk);
    if (count == 0) return text;
    if (count < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    text.append(chunk, static_cast<std::size_t>(count));
  }
}

// A text from the user or a file as a line of the program shows it: control characters as "?".
std::string shown(std::string_view text) {
  const Text shown_text = without_control_characters(text_from_buffer(text));
  return std::string(shown_text.view());
}

// The GBK form of one line, as the prompt hands a typed line on.
std::string keyword_of_line(std::string_view line) {
  std::string gbk = terminal_to_gbk(line);
  gbk.resize(std::min(gbk.find('\0'), gbk.size()));
  std::size_t whole = 0;
  while (whole < gbk.size()) {
    const std::size_t next = text_scan::next_char(gbk, whole);
    if (next > kConsoleReadLimit) break;
    whole = next;
  }
  gbk.resize(whole);
  return gbk;
}

std::string naming_line(std::string_view keyword) {
  return kNamingLinePrefix + gbk_to_terminal(shown(keyword)) + "\n";
}

SearchReport search_in_worker(const std::string& keyword, ReportForm form) {
  const Text text = text_from_buffer(keyword);
  return report_search(text, search_song_entries(text), form);
}

void write_report(const std::string& keyword, const SearchReport& report, ReportForm form) {
  if (form == ReportForm::text) {
    write_standard_output(naming_line(keyword) + report.output);
  } else {
    write_standard_output(report.output);
  }
  write_standard_error(report.error);
}

int refuse_batch_file(const std::string& path, int error_number) {
  const std::string name =
      path == kBatchFromStandardInput ? "standard input" : "'" + shown(path) + "'";
  write_standard_error("songsearch: cannot read the batch file " + name + ": " +
                       std::strerror(error_number) + "\n");
  return kExitUsage;
}

}  // namespace

std::vector<std::string> batch_file_keywords(std::string_view text) {
  std::vector<std::string> keywords;
  for (const std::string& line : batch_keywords(text)) {
    std::string keyword = keyword_of_line(line);
    if (!keyword.empty()) keywords.push_back(std::move(keyword));
  }
  return keywords;
}

int run_batch_file(const ProgramOptions& options) {
  const std::optional<std::string> text = read_whole(*options.batch_file);
  if (!text) return refuse_batch_file(*options.batch_file, errno);
  const ReportForm form = options.json_lines ? ReportForm::json_lines : ReportForm::text;
  return run_batch(
      batch_file_keywords(*text), options.jobs,
      [form](const std::string& keyword) { return search_in_worker(keyword, form); },
      [form](const std::string& keyword, const SearchReport& report) {
        write_report(keyword, report, form);
      });
}
