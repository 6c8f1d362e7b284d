#include "app/download/player.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/download/command_words.h"
#include "app/download/play_address.h"
#include "platform/console/terminal_charset.h"

extern char** environ;

namespace {

constexpr char kPlayerVariable[] = "SONGSEARCH_PLAYER";

void complain(const std::string& message) {
  const std::string line = "songsearch: " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

bool is_executable_file(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

// Whether `program` is an executable file in one of the folders of `path` (":"-separated, an
// empty entry meaning the current folder, as execvp reads it).
bool found_on_path(std::string_view program, std::string_view path) {
  while (true) {
    const std::size_t colon = path.find(':');
    const std::string_view folder = path.substr(0, colon);
    const std::string candidate =
        (folder.empty() ? std::string(".") : std::string(folder)) + "/" + std::string(program);
    if (is_executable_file(candidate)) return true;
    if (colon == std::string_view::npos) return false;
    path.remove_prefix(colon + 1);
  }
}

std::optional<std::vector<std::string>> words_of(const std::string& command, const char* source,
                                                 std::string* error) {
  auto words = command_words(command);
  if (!words) {
    *error = std::string("the player command of ") + source + " has an unclosed quote";
  } else if (words->empty()) {
    *error = std::string("the player command of ") + source + " is empty";
    words.reset();
  }
  return words;
}

// The child's attributes: default SIGINT and SIGQUIT (this program ignores them while it waits)
// and an empty signal mask.
class SpawnAttributes {
 public:
  SpawnAttributes() {
    posix_spawnattr_init(&attributes_);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes_, &signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGQUIT);
    posix_spawnattr_setsigdefault(&attributes_, &signals);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;

  [[nodiscard]] const posix_spawnattr_t* get() const { return &attributes_; }

 private:
  posix_spawnattr_t attributes_{};
};

// SIGINT and SIGQUIT ignored for the life of the object, then as they were.
class InterruptsIgnored {
 public:
  InterruptsIgnored() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGINT, &ignore, &interrupt_);
    sigaction(SIGQUIT, &ignore, &quit_);
  }
  ~InterruptsIgnored() {
    sigaction(SIGINT, &interrupt_, nullptr);
    sigaction(SIGQUIT, &quit_, nullptr);
  }
  InterruptsIgnored(const InterruptsIgnored&) = delete;
  InterruptsIgnored& operator=(const InterruptsIgnored&) = delete;

 private:
  struct sigaction interrupt_ {};
  struct sigaction quit_ {};
};

int status_of_ended(int wait_status) {
  if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
  return kPlayerUnavailable;
}

}  // namespace

std::span<const std::vector<std::string>> known_players() {
  static const std::vector<std::vector<std::string>> players = {
      {"mpv"},
      {"ffplay", "-nodisp", "-autoexit"},
      {"cvlc", "--play-and-exit"},
      {"mplayer"},
  };
  return players;
}

std::optional<std::vector<std::string>> chosen_player(const PlayerOptions& options,
                                                      const char* environment_value,
                                                      std::string_view path, std::string* error) {
  if (!options.command.empty()) return words_of(options.command, "--player", error);
  if (environment_value != nullptr && *environment_value != '\0') {
    return words_of(environment_value, kPlayerVariable, error);
  }
  for (const std::vector<std::string>& player : known_players()) {
    if (found_on_path(player.front(), path)) return player;
  }
  *error =
      "no player found: install mpv, ffplay, cvlc or mplayer, or name one with --player or "
      "SONGSEARCH_PLAYER";
  return std::nullopt;
}

int run_player(const std::vector<std::string>& words) {
  std::vector<char*> arguments;
  for (const std::string& word : words)
    arguments.push_back(const_cast<char*>(word.c_str()));
  arguments.push_back(nullptr);

  const InterruptsIgnored while_waiting;
  const SpawnAttributes attributes;
  pid_t child = 0;
  const int failure =
      posix_spawnp(&child, arguments[0], nullptr, attributes.get(), arguments.data(), environ);
  if (failure != 0) {
    complain("cannot start the player '" + words.front() + "': " + std::strerror(failure));
    return kPlayerUnavailable;
  }
  int wait_status = 0;
  while (waitpid(child, &wait_status, 0) < 0) {
    if (errno != EINTR) return kPlayerUnavailable;
  }
  return status_of_ended(wait_status);
}

int play_song(const SongEntry& entry, const PlayerOptions& options) {
  const std::string refusal = address_refusal(entry.url.view());
  if (!refusal.empty()) {
    complain("the play address " + refusal);
    return kPlayerUnavailable;
  }
  std::string error;
  const char* path = std::getenv("PATH");
  auto words = chosen_player(options, std::getenv(kPlayerVariable),
                             path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin", &error);
  if (!words) {
    complain(error);
    return kPlayerUnavailable;
  }
  words->push_back(gbk_to_terminal(entry.url.view()));
  return run_player(*words);
}
