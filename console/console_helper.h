// ConsoleHelper: the console helper object, whose methods control the console by running command
// lines through the command interpreter cmd.exe.
//
// The object is a block from mem_alloc holding only the pointer to its table of operations. Every
// method starts its command line through run_command_line without waiting, with the default show
// state: the child interpreter shares the console and runs alongside the caller, so a cleared
// screen or a colour change happens whenever the child gets to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/object_owner.h"
#include "runtime/runtime.h"

struct ConsoleHelperObject;

// The table of operations, in slot order. destroy and clone receive the object itself; every
// other operation receives the address of the variable that holds the object.
struct ConsoleHelperOperations {
  // Does nothing: the object has no state, and its block is freed by its owner.
  void (*destroy)(ConsoleHelperObject* self);
  // A new block (from mem_alloc) with the same table.
  ConsoleHelperObject* (*clone)(ConsoleHelperObject* self);
  // Starts "cmd.exe /c", which ends at once.
  void (*run_empty_command)(ConsoleHelperObject** self);
  // Starts "cmd.exe /c cls".
  void (*clear_screen)(ConsoleHelperObject** self);
  // Starts "cmd.exe /c " followed by `command` (empty: the line alone); whether it started.
  bool (*run_command)(ConsoleHelperObject** self, std::string_view command);
  // Starts "cmd.exe /c color  " followed by a hexadecimal digit for the background and one for
  // the foreground (omitted: 0 and 15). A background of 0 gives no digit, which the interpreter
  // reads as black; a foreground of 0 gives no digit only on a background of 0 as well (no digits:
  // the default colours). False, starting nothing, when a given value lies outside 0-15; else
  // whether the interpreter started.
  bool (*set_colors)(ConsoleHelperObject** self, std::optional<std::int32_t> background,
                     std::optional<std::int32_t> foreground);
  // Starts "cmd.exe -c ", which the interpreter answers as an unknown switch. The argument is
  // not used.
  void (*start_interpreter)(ConsoleHelperObject** self, const TypedArg& unused);
};

struct ConsoleHelperObject {
  const ConsoleHelperOperations* operations;
};

inline constexpr std::size_t kConsoleHelperSlotSize = sizeof(void (*)());
static_assert(offsetof(ConsoleHelperOperations, start_interpreter) == 6 * kConsoleHelperSlotSize);

extern const ConsoleHelperOperations kConsoleHelperOperations;

// A new object: a zero-filled block from mem_alloc with its table set. Never null.
[[nodiscard]] ConsoleHelperObject* console_helper_new();

// The owner of one object: builds it, calls its operations through the table, and at the end runs
// destroy through the table and frees the block. A moved-from owner is empty, and its methods then
// do nothing and return false.
class ConsoleHelper : public ObjectOwner<ConsoleHelper, ConsoleHelperObject> {
 public:
  using ObjectOwner::ObjectOwner;
  ConsoleHelper() : ObjectOwner(console_helper_new()) {}

  void run_empty_command() { call(&Operations::run_empty_command); }
  void clear_screen() { call(&Operations::clear_screen); }
  bool run_command(std::string_view command) { return call(&Operations::run_command, command); }
  bool set_colors(std::optional<std::int32_t> background = std::nullopt,
                  std::optional<std::int32_t> foreground = std::nullopt) {
    return call(&Operations::set_colors, background, foreground);
  }
  void start_interpreter(const TypedArg& unused = {}) {
    call(&Operations::start_interpreter, unused);
  }
};
