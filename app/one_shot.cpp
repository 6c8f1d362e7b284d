#include "app/one_shot.h"

#include <string>

#include "app/search_report.h"
#include "app/song_search.h"
#include "app/standard_streams.h"
#include "platform/console/terminal_charset.h"
#include "runtime/text_blocks.h"

namespace {

// The keywords as one GBK text, as the interactive program would read them typed on one line.
Text keyword_text(const std::vector<std::string>& keywords) {
  std::string joined;
  for (const std::string& word : keywords) {
    if (!joined.empty()) joined += ' ';
    joined += word;
  }
  return text_from_buffer(terminal_to_gbk(joined));
}

}  // namespace

int run_one_shot(const ProgramOptions& options) {
  const Text keyword = keyword_text(options.keywords);
  const ReportForm form = options.json_lines ? ReportForm::json_lines : ReportForm::text;
  const SearchReport report = report_search(keyword, search_song_entries(keyword), form);
  write_standard_output(report.output);
  write_standard_error(report.error);
  return report.status;
}
