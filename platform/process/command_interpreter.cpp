#include "platform/process/command_interpreter.h"

#include <array>
#include <cstddef>
#include <optional>

#include "platform/base/ascii.h"

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The console colour of one hexadecimal digit, or none for another character.
std::optional<int> console_color(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  return std::nullopt;
}

// ANSI foreground code of console colours 0-F (blue 1, green 2, red 4, bright 8); +10 gives the
// background code.
constexpr std::array<int, 16> kForegroundCode = {30, 34, 32, 36, 31, 35, 33, 37,
                                                 90, 94, 92, 96, 91, 95, 93, 97};

std::vector<std::string> shell_script(std::string script) {
  return {kInterpreterShell, "-c", std::move(script)};
}

// The script that prints `escape` (which holds ESC bytes) through printf's octal escapes.
std::string print_escape_script(std::string_view escape) {
  std::string script = "printf '";
  for (const char c : escape)
    script += c == '\x1b' ? std::string("\\033") : std::string(1, c);
  return script + "'";
}

std::optional<std::string_view> color_argument(std::string_view command) {
  if (!ascii_starts_with_ignoring_case(command, "color")) return std::nullopt;
  const std::string_view rest = command.substr(5);
  if (!rest.empty() && kBlanks.find(rest.front()) == std::string_view::npos) return std::nullopt;
  return trim(rest);
}

std::vector<std::string> run_after_c_switch(std::string_view command) {
  if (command.empty()) return shell_script("");
  if (ascii_equal_ignoring_case(command, "cls"))
    return shell_script("printf '\\033[H\\033[2J\\033[3J'");
  if (const auto argument = color_argument(command)) {
    const std::string escape = color_escape(*argument);
    return shell_script(escape.empty() ? "exit 1" : print_escape_script(escape));
  }
  return shell_script(std::string(command));
}

// Single-quotes `text` for the shell.
std::string shell_quoted(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

bool names_command_interpreter(std::string_view program) {
  const std::size_t slash = program.find_last_of("\\/");
  if (slash != std::string_view::npos) program.remove_prefix(slash + 1);
  return ascii_equal_ignoring_case(program, "cmd") || ascii_equal_ignoring_case(program, "cmd.exe");
}

std::vector<std::string> interpreter_argv(std::string_view arguments) {
  const std::string_view text = trim(arguments);
  if (text.empty()) return {kInterpreterShell};
  if (ascii_starts_with_ignoring_case(text, "/c")) return run_after_c_switch(trim(text.substr(2)));
  const std::string_view switch_text = text.substr(0, text.find_first_of(kBlanks));
  return shell_script(
      "printf '%s\\n' " +
      shell_quoted("cmd.exe: invalid switch - \"" + std::string(switch_text) + "\"") +
      " >&2; exit 1");
}

std::string color_escape(std::string_view argument) {
  argument = trim(argument);
  if (argument.empty()) return "\x1b[0m";
  if (argument.size() > 2) return {};
  const auto background = argument.size() == 2 ? console_color(argument[0]) : std::optional(0);
  const auto foreground = console_color(argument.back());
  if (!background || !foreground || *background == *foreground) return {};
  return "\x1b[0;" + std::to_string(kForegroundCode[static_cast<std::size_t>(*background)] + 10) +
         ";" + std::to_string(kForegroundCode[static_cast<std::size_t>(*foreground)]) + "m";
}
