#include "app/one_shot.h"

#include <string>

#include "app/download/entry_choice.h"
#include "app/entry_actions.h"
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

// What --download or --play does once the listing is out; the exit status.
int act_on_listing(const SongSearch& search, const ProgramOptions& options) {
  if (options.play_number != 0) return play_entry(search, options.play_number, options.player);
  const auto chosen = chosen_entries(search, options.download_choice);
  if (!chosen) return kExitUsage;  // the command line's check lets no such choice through
  return download_entries(search, *chosen, options.download);
}

[[nodiscard]] bool acts_on_listing(const ProgramOptions& options) {
  return options.play_number != 0 || !options.download_choice.empty();
}

}  // namespace

int run_one_shot(const ProgramOptions& options) {
  const Text keyword = keyword_text(options.keywords);
  const ReportForm form = options.json_lines ? ReportForm::json_lines : ReportForm::text;
  const SongSearch search = search_song_entries(keyword);
  const SearchReport report = report_search(keyword, search, form);
  write_standard_output(report.output);
  write_standard_error(report.error);
  if (!acts_on_listing(options)) return report.status;
  if (report.status == kExitNothingFound) {
    write_standard_error(options.play_number != 0
                             ? "songsearch: the search found nothing to play\n"
                             : "songsearch: the search found nothing to save\n");
  }
  if (report.status != kExitFound) return report.status;
  return act_on_listing(search, options);
}
