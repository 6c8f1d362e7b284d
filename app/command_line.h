// The program's command line, as a Linux user expects of a tool: options, keywords for a one-shot
// search, and the hosts of the service chosen at run time.
//
//   const CommandLine command_line = parse_command_line(arguments, std::getenv);
//   if (command_line.exit_status) return *command_line.exit_status;
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/download/download.h"
#include "app/download/player.h"
#include "app/service_hosts.h"

// What a run of the program was asked to do. Each group of options fills its own members.
struct ProgramOptions {
  // The search: the keywords of a one-shot search, as given (the terminal's charset); none makes
  // the interactive program.
  std::vector<std::string> keywords;
  bool json_lines = false;  // --json: the one-shot listing as JSON Lines

  // The service: the hosts in use, from --search-host and --play-host, else the environment's
  // SONGSEARCH_SEARCH_HOST and SONGSEARCH_PLAY_HOST, else the build's constants.
  ServiceHosts hosts;

  // The prompt: --no-history keeps the keywords typed at a terminal off the disk.
  bool no_history = false;

  // Keeping and playing songs: what a one-shot search does with its listing (--download N|all,
  // or --play N), or whether the interactive program reads its wait line as a pick (--pick), and
  // how files are saved and the player chosen for either.
  std::string download_choice;   // "1" to "5" or "all"; empty: nothing is downloaded
  std::int32_t play_number = 0;  // 1 to 5; 0: nothing is played
  bool pick = false;
  DownloadOptions download;
  PlayerOptions player;

  // The batch: --batch-file names a file of keywords, one search a line ("-" for standard
  // input), never given with keywords; --jobs how many searches run at once, only with it.
  std::optional<std::string> batch_file;
  int jobs = 1;

  [[nodiscard]] bool one_shot() const { return !keywords.empty(); }
  [[nodiscard]] bool batch() const { return batch_file.has_value(); }
};

struct CommandLine {
  ProgramOptions options;
  // Set when the command line has been answered already and the program ends with this status:
  // 0 after --help or --version (printed on standard output), kExitUsage after a one-line error
  // on standard error (an unknown option, a malformed host).
  std::optional<int> exit_status;
};

// Looks up an environment variable; null when it is not set. std::getenv fits.
using EnvironmentLookup = char* (*)(const char* name);

// Parses `arguments` (argv, the program's name first). Nothing is sent anywhere before a host
// has been checked.
[[nodiscard]] CommandLine parse_command_line(std::span<const char* const> arguments,
                                             EnvironmentLookup environment);
