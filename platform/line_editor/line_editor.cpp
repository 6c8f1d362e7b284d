#include "platform/line_editor/line_editor.h"

#include <histedit.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/codepage/codepage.h"
#include "platform/console/terminal_charset.h"
#include "platform/line_editor/edited_text.h"
#include "platform/line_editor/history_file.h"
#include "platform/line_editor/key_bindings.h"

namespace {

// ---------------------------------------------------------------------------------------------
// The terminal's modes on every way out.

termios modes_at_start{};
volatile sig_atomic_t modes_known = 0;

extern "C" void give_back_and_end(int signal_number) {
  give_back_terminal_input();
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);  // delivered once the handler returns: the program ends by it
}

// The editor's own handlers restore the modes it set and then pass a signal on to these, which
// put back the modes the terminal had before the program took it. Signals the program was told
// to ignore stay ignored.
void give_back_on_terminating_signals() {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction current {};
    if (::sigaction(signal_number, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) {
      continue;
    }
    struct sigaction ending {};
    ending.sa_handler = give_back_and_end;
    sigemptyset(&ending.sa_mask);
    ::sigaction(signal_number, &ending, nullptr);
  }
}

// Between two lines: the terminal as it was, but with keys neither echoed nor edited by it, so
// that the editor gets what was typed ahead as typed.
void hold_typed_keys() {
  if (!modes_known) return;
  termios quiet = modes_at_start;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON);
  quiet.c_cc[VMIN] = 1;
  quiet.c_cc[VTIME] = 0;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
}

// ---------------------------------------------------------------------------------------------
// The editor and its history.

bool history_disabled_by_environment() {
  const char* chosen = std::getenv("SONGSEARCH_HISTORY");
  return chosen != nullptr && *chosen == '\0';
}

HistoryPolicy history_policy =
    history_disabled_by_environment() ? HistoryPolicy::session_only : HistoryPolicy::on_disk;

class Editor {
 public:
  Editor() {
    (void)terminal_charset();  // the locale, whose charset the editor reads and writes
    history_ = history_winit();
    editor_ = el_init("songsearch", stdin, stdout, stderr);
    if (history_ == nullptr || editor_ == nullptr) return;
    HistEventW event;
    history_w(history_, &event, H_SETSIZE, static_cast<int>(kHistoryLimit));
    history_w(history_, &event, H_SETUNIQUE, 1);
    configure();
  }
  ~Editor() {
    if (editor_ != nullptr) el_end(editor_);
    if (history_ != nullptr) history_wend(history_);
    give_back_terminal_input();
  }
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  EditedLine read(LineUse use) {
    if (editor_ == nullptr || history_ == nullptr) return {};
    if (!history_loaded_ && history_policy == HistoryPolicy::on_disk) load();
    history_loaded_ = true;
    int count = 0;
    const wchar_t* line = el_wgets(editor_, &count);
    hold_typed_keys();
    if (line == nullptr) {
      return {count == 0 ? EditedLineStatus::end_of_input : EditedLineStatus::failed, {}};
    }
    const std::wstring kept =
        without_controls(std::wstring_view(line, static_cast<std::size_t>(count)));
    if (use == LineUse::keyword && !kept.empty()) remember(kept);
    return {EditedLineStatus::line, from_wide(kept, CP_GBK)};
  }

 private:
  static const wchar_t* no_prompt(EditLine*) { return L""; }

  void configure() {
    el_wset(editor_, EL_EDITOR, L"emacs");
    el_wset(editor_, EL_PROMPT, no_prompt);
    el_wset(editor_, EL_SIGNAL, 1);
    el_wset(editor_, EL_SAFEREAD, 1);
    el_wset(editor_, EL_HIST, history_w, history_);
    bind_prompt_keys(editor_);
  }

  void load() {
    bool no_home = false;
    path_ = history_file_path(&no_home);
    if (no_home) warn_once("keyword history not kept on disk: no home folder");
    if (path_.empty()) return;
    std::vector<std::string> entries;
    if (!load_history(path_, &entries)) {
      warn_once("cannot read the keyword history ");
      path_.clear();  // a file that could not be read is not written over
      return;
    }
    HistEventW event;
    for (const std::string& entry : entries) {
      const std::wstring wide = without_controls(from_utf8(entry));
      if (!wide.empty()) history_w(history_, &event, H_ENTER, wide.c_str());
    }
  }

  void remember(const std::wstring& keyword) {
    HistEventW event;
    history_w(history_, &event, H_ENTER, keyword.c_str());
    if (path_.empty() || history_policy != HistoryPolicy::on_disk) return;
    if (!save_history(path_, entries())) warn_once("cannot write the keyword history ");
  }

  // One line on standard error for the history file's first failure; the session goes on.
  void warn_once(std::string_view what) {
    if (warned_) return;
    warned_ = true;
    const std::string line = "songsearch: " + std::string(what) + path_ + "\n";
    (void)!::write(STDERR_FILENO, line.data(), line.size());
  }

  // Oldest first, as the file keeps them.
  std::vector<std::string> entries() {
    std::vector<std::string> oldest_first;
    HistEventW event;
    for (int found = history_w(history_, &event, H_LAST); found >= 0;
         found = history_w(history_, &event, H_PREV)) {
      oldest_first.push_back(from_wide(event.str, CP_UTF8));
    }
    return oldest_first;
  }

  HistoryW* history_ = nullptr;
  EditLine* editor_ = nullptr;
  std::string path_;
  bool history_loaded_ = false, warned_ = false;
};

// The one editor of standard input, started on first use and ended at exit.
Editor& the_editor() {
  static Editor editor;
  return editor;
}

}  // namespace

void set_keyword_history(HistoryPolicy policy) {
  history_policy = policy;
}

bool line_editing_applies() {
  return ::isatty(STDIN_FILENO) != 0 && ::isatty(STDOUT_FILENO) != 0;
}

void take_terminal_input() {
  static bool tried = false;
  if (tried) return;
  tried = true;
  if (!line_editing_applies() || ::tcgetattr(STDIN_FILENO, &modes_at_start) != 0) return;
  modes_known = 1;
  give_back_on_terminating_signals();
  std::atexit(give_back_terminal_input);
  (void)the_editor();  // starting it resets the terminal's modes: this must come before any key
  hold_typed_keys();
}

void give_back_terminal_input() {
  if (modes_known) ::tcsetattr(STDIN_FILENO, TCSANOW, &modes_at_start);
}

TerminalLoan::~TerminalLoan() {
  hold_typed_keys();
}

EditedLine edit_line(LineUse use) {
  take_terminal_input();
  return the_editor().read(use);
}
