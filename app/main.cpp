// songsearch: looks songs up in an online music service from the console.
#include <span>

#include "app/command_line.h"
#include "app/main_cycle.h"
#include "app/startup.h"
#include "runtime/memory.h"

int main(int argc, char** argv) {
  if (argc > 1)
    return answer_command_line(
        std::span<const char* const>(argv + 1, static_cast<std::size_t>(argc - 1)));
  start_program();
  main_cycle();
  exit_program(0);
}
