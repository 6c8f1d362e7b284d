#include "tests/support/program_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

extern char** environ;

namespace test_support {

namespace {

bool names_locale(std::string_view variable) {
  return variable.starts_with("LC_") || variable.starts_with("LANG=") ||
         variable.starts_with("LANGUAGE=");
}

}  // namespace

ChildCommand child_command(const std::string& program, const RunOptions& options) {
  ChildCommand command;
  command.strings.push_back(program);
  command.strings.insert(command.strings.end(), options.arguments.begin(), options.arguments.end());
  const std::size_t argument_count = command.strings.size();
  for (char** variable = environ; *variable != nullptr; ++variable) {
    if (!names_locale(*variable)) command.strings.emplace_back(*variable);
  }
  command.strings.push_back("LC_ALL=" + options.locale);
  for (std::size_t at = 0; at < command.strings.size(); ++at) {
    (at < argument_count ? command.argv : command.envp).push_back(command.strings[at].data());
  }
  command.argv.push_back(nullptr);
  command.envp.push_back(nullptr);
  return command;
}

int exit_code_of(int wait_status) {
  if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
  return -1;
}

std::size_t first_character_length(const std::string& bytes, bool gbk) {
  if (bytes.empty()) return 0;
  const auto lead = static_cast<unsigned char>(bytes[0]);
  std::size_t length = 1;
  if (gbk) {
    length = lead >= 0x81 && lead <= 0xFE ? 2 : 1;
  } else if (lead >= 0xF0) {
    length = 4;
  } else if (lead >= 0xE0) {
    length = 3;
  } else if (lead >= 0xC0) {
    length = 2;
  }
  return std::min(length, bytes.size());
}

}  // namespace test_support
