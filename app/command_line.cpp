#include "app/command_line.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "app/build_constants.h"

namespace {

constexpr int kSuccess = 0;
constexpr int kUsageError = 2;

std::string help_text() {
  std::string text =
      "Usage: songsearch [--help | --version]\n"
      "\n"
      "Looks songs up in an online music service. songsearch asks for a keyword, sends it to\n"
      "the service's song search, asks the service for the play address of each of the first\n"
      "five hits and prints them as a numbered listing; then it waits for Enter and asks again.\n"
      "\n"
      "Standard input may be a pipe or a file: each keyword line is followed by the line that\n"
      "stands for Enter, and the end of the input ends the program with exit status 0.\n"
      "\n"
      "    printf 'keyword\\n\\n' | songsearch\n"
      "\n"
      "The service's hosts were fixed when this program was built:\n";
  text.append("  song search  http://").append(kSearchHost).append("\n");
  text.append("  play info    http://").append(kPlayInfoHost).append("\n");
  text.append(
      "\n"
      "Options:\n"
      "  --help       print this help and exit\n"
      "  --version    print the version and exit\n");
  return text;
}

void write_to(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

int refuse(std::string_view argument) {
  write_to(stderr, std::string("songsearch: unexpected argument '")
                       .append(argument)
                       .append("' (songsearch --help lists the options)\n"));
  return kUsageError;
}

}  // namespace

int answer_command_line(std::span<const char* const> arguments) {
  const std::string_view option = arguments.empty() ? "" : arguments[0];
  if (option != "--help" && option != "--version") return refuse(option);
  if (arguments.size() > 1) return refuse(arguments[1]);
  if (option == "--help") {
    write_to(stdout, help_text());
  } else {
    write_to(stdout, std::string("songsearch ").append(kProgramVersion).append("\n"));
  }
  return kSuccess;
}
