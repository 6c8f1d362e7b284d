// The message pump's cost per message against calling the window procedure directly, and the
// command-line splitter against a plain split at blanks, each pair measured in the same run.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/messages/window_messages.h"
#include "platform/process/command_line.h"
#include "runtime/message_pump.h"

namespace {

long handled = 0;

LRESULT count_message(HWND, UINT, WPARAM wparam, LPARAM) {
  handled += static_cast<long>(wparam);
  return 0;
}

void BM_DirectWindowProcedureCalls(benchmark::State& state) {
  const HWND window = CreateMessageWindow(count_message);
  for (auto _ : state) {
    for (int i = 0; i < state.range(0); ++i) {
      WNDPROC procedure = count_message;
      benchmark::DoNotOptimize(procedure);  // an indirect call, as dispatching makes
      procedure(window, WM_USER, 1, 0);
    }
    benchmark::DoNotOptimize(handled);
  }
  DestroyWindow(window);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PostAndPumpMessages(benchmark::State& state) {
  const HWND window = CreateMessageWindow(count_message);
  for (auto _ : state) {
    for (int i = 0; i < state.range(0); ++i)
      PostMessageA(window, WM_USER, 1, 0);
    dispatch_pending_messages();
    benchmark::DoNotOptimize(handled);
  }
  DestroyWindow(window);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

const std::string kCommandLine =
    R"(cmd.exe /c "C:\Program Files\tool.exe" --name "a \"quoted\" word" path\to\dir\ x y z)";

void BM_SplitAtBlanks(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::string> words;
    std::istringstream in(kCommandLine);
    for (std::string word; in >> word;)
      words.push_back(word);
    benchmark::DoNotOptimize(words);
  }
}

void BM_CommandLineToArgv(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(command_line_to_argv(kCommandLine));
}

BENCHMARK(BM_DirectWindowProcedureCalls)->Arg(1000);
BENCHMARK(BM_PostAndPumpMessages)->Arg(1000);
BENCHMARK(BM_SplitAtBlanks);
BENCHMARK(BM_CommandLineToArgv);

}  // namespace

BENCHMARK_MAIN();
