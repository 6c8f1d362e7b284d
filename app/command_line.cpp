#include "app/command_line.h"

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>
#include <vector>

#include "app/batch_runner.h"
#include "app/build_constants.h"
#include "app/download/entry_choice.h"
#include "app/search_report.h"
#include "app/standard_streams.h"
#include "platform/console/terminal_charset.h"

namespace {

constexpr char kSearchHostVariable[] = "SONGSEARCH_SEARCH_HOST";
constexpr char kPlayHostVariable[] = "SONGSEARCH_PLAY_HOST";

constexpr char kDescription[] =
    "Looks songs up in an online music service.\n"
    "\n"
    "With keywords, songsearch runs one search for them (joined by single spaces), prints the\n"
    "listing of the first five hits and their play addresses, and exits. Without, it is the\n"
    "interactive program: it asks for a keyword, prints the listing, waits for Enter and asks\n"
    "again. Standard input may then be a pipe or a file: each keyword line is followed by the\n"
    "line that stands for Enter, and the end of the input ends the program with exit status 0.\n"
    "\n"
    "A one-shot search may go on to save chosen entries' songs (--download) or play one\n"
    "(--play); the interactive program may read the line after each listing as a pick (--pick).\n"
    "--download and --play exclude each other; --download combines with --json, --play does not,\n"
    "since the player shares standard output.\n";

constexpr char kExamples[] =
    "\n"
    "Examples:\n"
    "  songsearch moon                      one search, its listing as text\n"
    "  songsearch --json moon | jq -r .url  one search as JSON Lines, the play addresses\n"
    "  printf 'moon\\n\\n' | songsearch      the interactive program driven by a pipe\n"
    "  songsearch --download all moon       save every hit's song in the current folder\n"
    "  songsearch --play 2 moon             play the second hit and wait for the player\n"
    "  songsearch --pick                    the interactive program; after a listing type 2\n"
    "                                       to play entry 2, d2 to save it, Enter to go on\n";

constexpr char kBatches[] =
    "\n"
    "Batches: --batch-file FILE runs one search per non-empty line of FILE, read in the\n"
    "terminal's charset and cut at 2048 bytes as the prompt reads a line, and prints the results\n"
    "in the order of the file, each exactly as the one-shot search prints it. As text, each\n"
    "keyword's listing follows a line \"== KEYWORD\" (control characters as \"?\"); listing lines\n"
    "start with a digit or are addresses, and a listing is ten lines, or none when its search\n"
    "failed, so a script that trusts no address counts lines. JSON Lines carry their keyword.\n"
    "A file that cannot be read ends the program with status 2 before any search.\n"
    "  songsearch --jobs 8 --batch-file songs.txt\n"
    "  printf 'moon\\nsun\\n' | songsearch --json --batch-file -\n";

constexpr char kExitStatuses[] =
    "\n"
    "Exit status of a one-shot search, and of a batch the worst of its searches':\n"
    "  0  at least one hit was listed\n"
    "  1  the search answered, but found nothing\n"
    "  2  the command line was refused\n"
    "  3  the song search failed (unreachable, timed out, an answer that is no JSON)\n"
    "  4  --download: a chosen song was not saved (no hit or no play address, the file existed\n"
    "     without --force, or its transfer failed); one line on standard error each says why\n"
    "130  --download: interrupted by Ctrl-C\n"
    "After a broken or interrupted transfer NAME.part is kept, and the next try resumes it.\n"
    "With --play, the player's exit status (128 plus the signal that ended it), or 1 when the\n"
    "entry has no play address or no player could be started.\n";

// A text from the command line or the environment as an error line shows it: its control
// characters as "?", so that an escape sequence in it cannot steer the terminal.
std::string shown(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 0x20 || code == 0x7F) c = '?';
  }
  return line;
}

int refuse(std::string_view why) {
  write_standard_error("songsearch: " + shown(why) + " (songsearch --help lists the options)\n");
  return kExitUsage;
}

// What the command line gave for one host, before the environment and the build's constant.
struct HostChoice {
  const char* option_name;
  const char* variable;
  std::string_view built;
  std::string option_value;
  CLI::Option* option = nullptr;

  [[nodiscard]] bool given() const { return option != nullptr && option->count() > 0; }
};

// Option beats environment beats build constant.
std::string chosen_host(const HostChoice& choice, EnvironmentLookup environment) {
  if (choice.given()) return choice.option_value;
  const char* from_environment = environment(choice.variable);
  return from_environment != nullptr ? from_environment : std::string(choice.built);
}

struct HostChoices {
  HostChoice search{"--search-host", kSearchHostVariable, kSearchHost, {}, nullptr};
  HostChoice play_info{"--play-host", kPlayHostVariable, kPlayInfoHost, {}, nullptr};
};

std::string hosts_in_use(const HostChoices& choices, EnvironmentLookup environment) {
  return "\nThe service's hosts in use (--search-host and --play-host, else the environment's\n"
         "SONGSEARCH_SEARCH_HOST and SONGSEARCH_PLAY_HOST, else those built in):\n"
         "  song search  http://" +
         chosen_host(choices.search, environment) +
         "\n"
         "  play info    http://" +
         chosen_host(choices.play_info, environment) + "\n";
}

void add_search_options(CLI::App& app, ProgramOptions& options) {
  app.add_option("keyword", options.keywords,
                 "Words to search for at once; without, the program asks for keywords");
  app.add_flag("--json", options.json_lines,
               "Print JSON Lines: one UTF-8 object per hit, {keyword, number, filename, hash, "
               "url}, url null when there is none")
      ->group("Output");
}

void add_batch_options(CLI::App& app, ProgramOptions& options) {
  CLI::Option* batch_file =
      app.add_option("--batch-file", options.batch_file,
                     "Run one search per non-empty line of FILE (- for standard input); not "
                     "with keywords")
          ->type_name("FILE")
          ->excludes(app.get_option("keyword"))
          ->excludes(app.get_option("--pick"))
          ->group("Batch");
  app.add_option("--jobs", options.jobs, "Run up to N searches of the batch at once")
      ->type_name("N")
      ->check(CLI::Range(1, kMostJobs))
      ->capture_default_str()
      ->needs(batch_file)
      ->group("Batch");
}

void add_service_options(CLI::App& app, HostChoices& choices) {
  choices.search.option = app.add_option(choices.search.option_name, choices.search.option_value,
                                         "Host of the song search, host or host:port");
  choices.play_info.option =
      app.add_option(choices.play_info.option_name, choices.play_info.option_value,
                     "Host of the play information, host or host:port");
  for (CLI::Option* option : {choices.search.option, choices.play_info.option}) {
    option->group("Service")->type_name("HOST");
  }
}

void add_prompt_options(CLI::App& app, ProgramOptions& options) {
  app.add_flag("--no-history", options.no_history,
               "Keep no keyword history on disk (the terminal's prompt still recalls this run's)")
      ->group("Prompt");
}

// The options of keeping and playing, kept to check what they are given with.
struct KeepingChoices {
  CLI::Option* download = nullptr;
  CLI::Option* play = nullptr;
  CLI::Option* pick = nullptr;
  std::vector<CLI::Option*> download_settings;  // --output-dir, --force, --quiet
  CLI::Option* player = nullptr;
};

// A --download choice as chosen_entries reads it; CLI11 shows the returned text as the error.
std::string download_choice_error(const std::string& choice) {
  if (chosen_entries(SongSearch{}, choice)) return {};
  return "'" + choice + "' is not an entry number from 1 to " + std::to_string(kHitsListed) +
         " or all";
}

void add_keeping_options(CLI::App& app, ProgramOptions& options, KeepingChoices& choices) {
  CLI::Option* keyword = app.get_option("keyword");
  CLI::Option* json = app.get_option("--json");
  choices.download =
      app.add_option("--download", options.download_choice,
                     "With keywords: save entry N's song (1 to 5), or every hit's with all, as "
                     "the entry's file name in the current folder or --output-dir")
          ->type_name("N|all")
          ->check(CLI::Validator(download_choice_error, "", "entry"))
          ->needs(keyword);
  choices.play = app.add_option("--play", options.play_number,
                                "With keywords: play entry N (1 to 5) with the player, wait for "
                                "it and end with its exit status; not with --json or --download")
                     ->type_name("N")
                     ->check(CLI::Range(1, kHitsListed).description(""))
                     ->needs(keyword)
                     ->excludes(json)
                     ->excludes(choices.download);
  choices.pick = app.add_flag("--pick", options.pick,
                              "Without keywords: after each listing, a number plays that entry, "
                              "d and a number saves it, and Enter alone goes on")
                     ->excludes(keyword);
  choices.download_settings = {
      app.add_option("--output-dir", options.download.output_dir,
                     "Save songs in DIR instead of the current folder")
          ->type_name("DIR"),
      app.add_flag("--force", options.download.force, "Replace a file of the same name"),
      app.add_flag_callback(
          "--quiet", [&options] { options.download.progress = ProgressDisplay::none; },
          "Show no progress and no summary of a saved song, only failures"),
  };
  choices.player =
      app.add_option("--player", options.player.command,
                     "The player's command line, split into words as a shell would but never run "
                     "by one, the address its last word; else SONGSEARCH_PLAYER's, else the first "
                     "of mpv, ffplay, cvlc and mplayer on the PATH")
          ->type_name("CMD");
  for (CLI::Option* option : {choices.download, choices.play, choices.pick, choices.player}) {
    option->group("Playing and keeping");
  }
  for (CLI::Option* option : choices.download_settings)
    option->group("Playing and keeping");
}

// Settings that no download or player of this run would use: refused, so that a command line
// missing its --download, --play or --pick is not taken for one that did what was meant.
std::optional<int> refuse_unused_settings(const KeepingChoices& choices) {
  const bool downloads = choices.download->count() > 0 || choices.pick->count() > 0;
  const bool plays = choices.play->count() > 0 || choices.pick->count() > 0;
  for (const CLI::Option* setting : choices.download_settings) {
    if (!downloads && setting->count() > 0) {
      return refuse(setting->get_name() + " needs --download or --pick");
    }
  }
  if (!plays && choices.player->count() > 0) return refuse("--player needs --play or --pick");
  return std::nullopt;
}

// The hosts in use, or the status of a refusal when one of them is no host.
std::optional<int> resolve_hosts(const HostChoices& choices, EnvironmentLookup environment,
                                 ServiceHosts& hosts) {
  for (const HostChoice* choice : {&choices.search, &choices.play_info}) {
    const std::string host = chosen_host(*choice, environment);
    if (!is_host_and_port(host)) {
      const char* source = choice->given() ? choice->option_name : choice->variable;
      return refuse(std::string(source) + " '" + host + "' is not a host or host:port");
    }
  }
  hosts = {chosen_host(choices.search, environment), chosen_host(choices.play_info, environment)};
  return std::nullopt;
}

// The one call that lets CLI11 parse; its errors become the program's answer here.
std::optional<int> parse(CLI::App& app, std::span<const char* const> arguments) {
  try {
    app.parse(static_cast<int>(arguments.size()), arguments.data());
  } catch (const CLI::CallForHelp&) {
    write_standard_output(gbk_to_terminal(app.help()));
    return 0;
  } catch (const CLI::CallForVersion&) {
    write_standard_output("songsearch " + std::string(kProgramVersion) + "\n");
    return 0;
  } catch (const CLI::ParseError& error) {
    return refuse(error.what());
  }
  return std::nullopt;
}

}  // namespace

CommandLine parse_command_line(std::span<const char* const> arguments,
                               EnvironmentLookup environment) {
  CommandLine command_line;
  HostChoices choices;
  CLI::App app(kDescription, "songsearch");
  app.set_version_flag("--version", std::string(kProgramVersion), "Print the version and exit");
  app.footer([&choices, environment] {
    return kExamples + hosts_in_use(choices, environment) + kBatches + kExitStatuses;
  });
  add_search_options(app, command_line.options);
  add_service_options(app, choices);
  add_prompt_options(app, command_line.options);
  KeepingChoices keeping;
  add_keeping_options(app, command_line.options, keeping);
  add_batch_options(app, command_line.options);  // after the options a batch excludes

  command_line.exit_status = parse(app, arguments);
  if (!command_line.exit_status) command_line.exit_status = refuse_unused_settings(keeping);
  if (!command_line.exit_status) {
    command_line.exit_status = resolve_hosts(choices, environment, command_line.options.hosts);
  }
  return command_line;
}
