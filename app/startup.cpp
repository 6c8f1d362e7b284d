#include "app/startup.h"

#include "runtime/memory.h"

ConsoleHelperObject* global_console_helper = nullptr;

void start_program() {
  runtime_init();
  global_console_helper = static_cast<ConsoleHelperObject*>(mem_alloc(sizeof(ConsoleHelperObject)));
  global_console_helper->operations = &kConsoleHelperOperations;
  set_exit_callback(destroy_global_console_helper);
  global_console_helper->operations->run_empty_command(&global_console_helper);
}

void destroy_global_console_helper() {
  ConsoleHelperObject* helper = global_console_helper;
  helper->operations->destroy(helper);
  mem_free(helper);
}
