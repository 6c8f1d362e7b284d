#include "console/console_helper.h"

#include "runtime/memory.h"
#include "runtime/process_runner.h"
#include "runtime/text_blocks.h"
#include "runtime/value_to_text.h"

namespace {

constexpr std::string_view kEmptyCommand = "cmd.exe /c";
constexpr std::string_view kClearScreenCommand = "cmd.exe /c cls";
constexpr std::string_view kCommandPrefix = "cmd.exe /c ";
constexpr std::string_view kColorCommand = "cmd.exe /c color  ";
constexpr std::string_view kInterpreterCommand = "cmd.exe -c ";

constexpr std::int32_t kDefaultBackground = 0;   // black
constexpr std::int32_t kDefaultForeground = 15;  // bright white

bool start(std::string_view command_line) {
  return run_command_line(command_line, WaitForExit::no);
}

bool is_console_color(std::int32_t value) {
  return value >= 0 && value <= 15;
}

// The hexadecimal digit of colour `value` (0-15): 1-9 as the runtime writes integers, 10-15 as
// "A"-"F", 0 as "0" or, when `zero_as_digit` is false, no digit at all.
Text color_digit(std::int32_t value, bool zero_as_digit) {
  if (value == 0) return zero_as_digit ? text_copy("0") : Text{};
  if (value <= 9) return value_to_text(TypedArg::integer(value));
  return text_from_buffer(&"ABCDEF"[value - 10], 1);
}

void destroy(ConsoleHelperObject*) {}

ConsoleHelperObject* clone(ConsoleHelperObject* self) {
  auto* copy = static_cast<ConsoleHelperObject*>(mem_alloc(sizeof(ConsoleHelperObject)));
  copy->operations = self->operations;
  return copy;
}

void run_empty_command(ConsoleHelperObject**) {
  start(kEmptyCommand);
}

void clear_screen(ConsoleHelperObject**) {
  start(kClearScreenCommand);
}

bool run_command(ConsoleHelperObject**, std::string_view command) {
  const Text command_line = text_concat({kCommandPrefix, command});
  return start(command_line.view());
}

bool set_colors(ConsoleHelperObject**, std::optional<std::int32_t> background,
                std::optional<std::int32_t> foreground) {
  if (!is_console_color(background.value_or(0)) || !is_console_color(foreground.value_or(0))) {
    return false;
  }
  const std::int32_t back = background.value_or(kDefaultBackground);
  const std::int32_t fore = foreground.value_or(kDefaultForeground);
  // A lone digit is read as the foreground, so a black foreground on a coloured background needs
  // its "0"; a black background can go without one.
  const Text back_digit = color_digit(back, false);
  const Text fore_digit = color_digit(fore, back != 0);
  const Text command_line = text_concat({kColorCommand, back_digit.view(), fore_digit.view()});
  return start(command_line.view());
}

void start_interpreter(ConsoleHelperObject**, const TypedArg&) {
  start(kInterpreterCommand);
}

}  // namespace

const ConsoleHelperOperations kConsoleHelperOperations = {
    destroy, clone, run_empty_command, clear_screen, run_command, set_colors, start_interpreter,
};

ConsoleHelperObject* console_helper_new() {
  auto* object = static_cast<ConsoleHelperObject*>(mem_alloc(sizeof(ConsoleHelperObject)));
  object->operations = &kConsoleHelperOperations;
  return object;
}
