#include "runtime/process_runner.h"

#include <array>
#include <string>

#include "platform/process/process.h"

namespace {

constexpr std::array<std::uint16_t, 6> kShowStates = {
    SW_HIDE, SW_SHOW, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED, SW_SHOWNOACTIVATE, SW_SHOWMINNOACTIVE};

// The caller's own start-up settings, with the standard output and error handles cleared and
// only the show state in force.
STARTUPINFOA startup_settings(std::optional<std::int32_t> show_mode) {
  STARTUPINFOA startup;
  startup.cb = kStartupInfoRecordSize;
  GetStartupInfoA(&startup);
  startup.hStdOutput = nullptr;
  startup.hStdError = nullptr;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show_state_for(show_mode);
  return startup;
}

}  // namespace

std::uint16_t show_state_for(std::optional<std::int32_t> show_mode) {
  if (!show_mode || *show_mode < 1 || *show_mode > static_cast<std::int32_t>(kShowStates.size())) {
    return SW_SHOW;
  }
  return kShowStates[static_cast<std::size_t>(*show_mode - 1)];
}

bool run_command_line(std::string_view command_line, WaitForExit wait,
                      std::optional<std::int32_t> show_mode) {
  STARTUPINFOA startup = startup_settings(show_mode);
  std::string writable_line(command_line);  // CreateProcessA may write into its command line
  PROCESS_INFORMATION process;
  if (!CreateProcessA(nullptr, writable_line.data(), nullptr, nullptr, true, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  if (wait == WaitForExit::yes) WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return true;
}
