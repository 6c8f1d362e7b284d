// The process runner: starting another program from a command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

inline constexpr std::uint32_t kRunCommandLineCommand = 0x2C0;

enum class WaitForExit : bool { no, yes };

// Show modes of run_command_line and the window show states they select; any other value, or
// none, selects SW_SHOW.
//   1 SW_HIDE, 2 SW_SHOW, 3 SW_SHOWMINIMIZED, 4 SW_SHOWMAXIMIZED, 5 SW_SHOWNOACTIVATE,
//   6 SW_SHOWMINNOACTIVE
[[nodiscard]] std::uint16_t show_state_for(std::optional<std::int32_t> show_mode);

// Starts the program that `command_line` names (the first token, found by the platform's search
// rules; the line is passed on unchanged), sharing the console and the caller's inheritable
// handles, with the caller's start-up settings and the show state of `show_mode`. With
// WaitForExit::yes it then waits, without time-out, for the program to end; its exit code is not
// read. True when the program was started; false when it could not be (an empty line, a missing
// program), with nothing shown. No handle stays open either way.
[[nodiscard]] bool run_command_line(std::string_view command_line, WaitForExit wait,
                                    std::optional<std::int32_t> show_mode = std::nullopt);
