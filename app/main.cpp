// songsearch: looks songs up in an online music service from the console.
#include "runtime/runtime.h"

int main() {
  runtime_init();
  exit_program(0);
}
