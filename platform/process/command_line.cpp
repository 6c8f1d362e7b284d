#include "platform/process/command_line.h"

#include <cstddef>

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

std::size_t skip_blanks(std::string_view line, std::size_t at) {
  while (at < line.size() && is_blank(line[at]))
    ++at;
  return at;
}

// Reads the program token starting at `at`; returns the position just past it.
std::size_t read_program(std::string_view line, std::size_t at, std::string* program) {
  bool quoted = false;
  for (; at < line.size(); ++at) {
    const char c = line[at];
    if (c == '"') {
      quoted = !quoted;
    } else if (is_blank(c) && !quoted) {
      break;
    } else {
      program->push_back(c);
    }
  }
  return at;
}

// Reads one argument starting at `at` (not a blank); returns the position just past it.
std::size_t read_argument(std::string_view line, std::size_t at, std::string* argument) {
  bool quoted = false;
  while (at < line.size()) {
    const char c = line[at];
    if (c == '\\') {
      std::size_t backslashes = 0;
      while (at < line.size() && line[at] == '\\')
        ++backslashes, ++at;
      const bool before_quote = at < line.size() && line[at] == '"';
      argument->append(before_quote ? backslashes / 2 : backslashes, '\\');
      if (before_quote && backslashes % 2 == 1) argument->push_back('"'), ++at;
    } else if (c == '"') {
      if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
        argument->push_back('"');
        at += 2;
      } else {
        quoted = !quoted;
        ++at;
      }
    } else if (is_blank(c) && !quoted) {
      break;
    } else {
      argument->push_back(c);
      ++at;
    }
  }
  return at;
}

}  // namespace

std::vector<std::string> command_line_to_argv(std::string_view command_line) {
  std::vector<std::string> argv;
  std::size_t at = skip_blanks(command_line, 0);
  if (at == command_line.size()) return argv;
  at = read_program(command_line, at, &argv.emplace_back());
  for (at = skip_blanks(command_line, at); at < command_line.size();
       at = skip_blanks(command_line, at)) {
    at = read_argument(command_line, at, &argv.emplace_back());
  }
  return argv;
}

std::string_view command_line_tail(std::string_view command_line) {
  std::string program;
  const std::size_t end = read_program(command_line, skip_blanks(command_line, 0), &program);
  return command_line.substr(end);
}
