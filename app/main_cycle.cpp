#include "app/main_cycle.h"

#include <utility>

#include "app/search_songs.h"
#include "app/standard_streams.h"
#include "runtime/console_io.h"

namespace {

constexpr char kPrompt[] = "输入检索的关键词：\r\n";  // enter the search keyword
constexpr char kSearchComplete[] = "检索完成\r\n";    // search complete
constexpr char kUnreadableInput[] = "songsearch: cannot read standard input\n";

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

}  // namespace

void main_cycle() {
  Text keyword;
  for (;;) {
    print(kStandardOutput, kPrompt);
    keyword = read_line(Line::keyword);
    print(kStandardOutput, search_songs(keyword).get());
    print(kStandardOutput, kSearchComplete);
    read_line(Line::wait);  // waits for Enter; what was typed is dropped at once
  }
}
