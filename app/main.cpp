// songsearch: looks songs up in an online music service from the console.
#include <cstdlib>
#include <span>

#include "app/batch_file.h"
#include "app/command_line.h"
#include "app/main_cycle.h"
#include "app/one_shot.h"
#include "app/service_hosts.h"
#include "app/startup.h"
#include "platform/console/console.h"
#include "platform/line_editor/line_editor.h"
#include "runtime/memory.h"

int main(int argc, char** argv) {
  hold_closed_standard_descriptors();
  const CommandLine command_line = parse_command_line(
      std::span<const char* const>(argv, static_cast<std::size_t>(argc)), std::getenv);
  if (command_line.exit_status) return *command_line.exit_status;
  const ProgramOptions& options = command_line.options;
  use_service_hosts(options.hosts);
  if (options.no_history) set_keyword_history(HistoryPolicy::session_only);
  start_program();
  if (options.batch()) exit_program(run_batch_file(options));
  if (!options.one_shot()) {
    const Picking picking{options.download, options.player};
    main_cycle(options.pick ? &picking : nullptr);
  }
  exit_program(run_one_shot(options));
}
