// songsearch: looks songs up in an online music service from the console.
#include "runtime/console_io.h"
#include "runtime/runtime.h"

int main() {
  runtime_init();
  for (;;) {
    const TypedArg prompt[] = {TypedArg{}, TypedArg::text("输入检索的关键词：\r\n")};
    console_print(prompt);
    const ConsoleInput keyword = console_read_input({});
    if (keyword.status != ConsoleReadStatus::read) exit_program(0);
    // The song search for keyword.text goes here.
  }
}
