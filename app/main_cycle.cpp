#include "app/main_cycle.h"

#include <utility>

#include "app/download/pick_line.h"
#include "app/entry_actions.h"
#include "app/search_songs.h"
#include "app/song_search.h"
#include "app/standard_streams.h"
#include "runtime/console_io.h"

namespace {

constexpr char kPrompt[] = "输入检索的关键词：\r\n";  // enter the search keyword
constexpr char kSearchComplete[] = "检索完成\r\n";    // search complete
constexpr char kUnreadableInput[] = "songsearch: cannot read standard input\n";
constexpr char kPickHint[] =
    "songsearch: type a number from 1 to 5 to play that entry, d and the number to save it, or "
    "Enter alone to go on\n";

constexpr TypedArg kStandardOutput{};
const TypedArg kStandardError = TypedArg::integer(2);

void print(const TypedArg& direction, const char* text) {
  const TypedArg args[] = {direction, TypedArg::text(text)};
  console_print(args);
  check_console_output();
}

enum class Line { keyword, wait };

// The next line of standard input, with echo; ends the program when no line can come any more.
Text read_line(Line line) {
  ConsoleInput input = line == Line::keyword ? console_read_keyword() : console_read_input({});
  switch (input.status) {
    case ConsoleReadStatus::read:
      break;
    case ConsoleReadStatus::end_of_input:
      exit_program(0);
    case ConsoleReadStatus::unreadable:
      print(kStandardError, kUnreadableInput);
      exit_program(1);
  }
  return std::move(input.text);
}

// One pass after the keyword with --pick: the same listing and completion line, then the wait
// line read as a pick on that listing's search.
void search_and_pick(const Text& keyword, const Picking& picking) {
  const SongSearch search = search_song_entries(keyword);
  print(kStandardOutput, song_listing(search).get());
  print(kStandardOutput, kSearchComplete);
  const Text wait_line = read_line(Line::wait);
  const Pick pick = read_pick(wait_line.view(), kHitsListed);
  switch (pick.action) {
    case PickAction::go_on:
      break;
    case PickAction::play:
      (void)play_entry(search, pick.number, picking.player);
      break;
    case PickAction::download: {
      const SongEntry* const chosen[] = {
          &search.entries[static_cast<std::size_t>(pick.number - 1)]};
      (void)download_entries(search, chosen, picking.download);
      break;
    }
    case PickAction::unknown:
      print(kStandardError, kPickHint);
      break;
  }
}

}  // namespace

void main_cycle(const Picking* picking) {
  Text keyword;
  for (;;) {
    print(kStandardOutput, kPrompt);
    keyword = read_line(Line::keyword);
    if (picking != nullptr) {
      search_and_pick(keyword, *picking);
      continue;
    }
    print(kStandardOutput, search_songs(keyword).get());
    print(kStandardOutput, kSearchComplete);
    read_line(Line::wait);  // waits for Enter; what was typed is dropped at once
  }
}
