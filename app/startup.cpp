#include "app/startup.h"

#include "runtime/memory.h"

// Empty until start-up: the helper's block comes from the heap that runtime_init prepares.
constinit ConsoleHelper global_console_helper{nullptr};

void start_program() {
  runtime_init();
  global_console_helper = ConsoleHelper();
  set_exit_callback(destroy_global_console_helper);
  global_console_helper.run_empty_command();
}

void destroy_global_console_helper() {
  global_console_helper.reset();
}
