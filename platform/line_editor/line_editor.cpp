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
#include "platform/line_editor/history_file.h"

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
// Wide texts: the editor's characters are UCS-4 in every locale.

std::u16string to_utf16(std::wstring_view wide) {
  std::u16string units;
  for (const wchar_t character : wide) {
    auto code = static_cast<char32_t>(character);
    if (code >= 0x10000 && code <= 0x10FFFF) {
      code -= 0x10000;
      units += static_cast<char16_t>(0xD800 + (code >> 10));
      units += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      units += static_cast<char16_t>(code > 0xFFFF ? 0xFFFD : code);
    }
  }
  return units;
}

std::string from_wide(std::wstring_view wide, std::uint32_t code_page) {
  const std::u16string units = to_utf16(wide);
  if (units.empty()) return {};
  const int length = static_cast<int>(units.size());
  const int needed =
      WideCharToMultiByte(code_page, 0, units.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
  WideCharToMultiByte(code_page, 0, units.data(), length, bytes.data(), needed, nullptr, nullptr);
  return bytes;
}

std::wstring from_utf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length = static_cast<int>(utf8.size());
  std::u16string units(utf8.size(), u'\0');
  units.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, units.data(), length)));
  std::wstring wide;
  for (std::size_t at = 0; at < units.size(); ++at) {
    const char16_t unit = units[at];
    const bool pair = unit >= 0xD800 && unit <= 0xDBFF && at + 1 < units.size() &&
                      units[at + 1] >= 0xDC00 && units[at + 1] <= 0xDFFF;
    if (pair) {
      const char32_t code = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (units[++at] - 0xDC00);
      wide += static_cast<wchar_t>(code);
    } else {
      wide += static_cast<wchar_t>(unit);
    }
  }
  return wide;
}

bool is_control(wchar_t character) {
  return character < 0x20 || (character >= 0x7F && character <= 0x9F);
}

// The line as a keyword can hold it: no line end, no control character, so no escape sequence.
std::wstring without_controls(std::wstring_view line) {
  std::wstring kept;
  for (const wchar_t character : line) {
    if (!is_control(character)) kept += character;
  }
  return kept;
}

// ---------------------------------------------------------------------------------------------
// Keys that come as escape sequences. Every sequence is read to its end, so that the rest of one
// the editor has no binding for never lands in the line; the keys it stands for are done by the
// emacs keys bound to the same functions.

constexpr std::size_t kLongestSequence = 16;
constexpr wchar_t kPreviousHistory[] = L"\x10", kNextHistory[] = L"\x0e";  // Ctrl-P, Ctrl-N
constexpr wchar_t kForward[] = L"\x06", kBackward[] = L"\x02";             // Ctrl-F, Ctrl-B
constexpr wchar_t kLineStart[] = L"\x01", kLineEnd[] = L"\x05";            // Ctrl-A, Ctrl-E
constexpr wchar_t kWordForward[] =
    L"\x1b"
    L"f",
                  kWordBackward[] =
                      L"\x1b"
                      L"b";

unsigned char delete_under_cursor(EditLine* editor) {
  const LineInfoW* line = el_wline(editor);
  if (line->cursor == line->lastchar) return CC_ERROR;
  el_cursor(editor, 1);
  el_wdeletestr(editor, 1);
  return CC_REFRESH;
}

// What the key ending in `final` with `parameters` (a modifier after ";") does.
unsigned char do_key(EditLine* editor, wchar_t final, std::wstring_view parameters) {
  const bool with_modifier = parameters.find(L';') != std::wstring_view::npos;
  const wchar_t* keys = nullptr;
  switch (final) {
    case L'A':
      keys = kPreviousHistory;
      break;
    case L'B':
      keys = kNextHistory;
      break;
    case L'C':
      keys = with_modifier ? kWordForward : kForward;
      break;
    case L'D':
      keys = with_modifier ? kWordBackward : kBackward;
      break;
    case L'H':
      keys = kLineStart;
      break;
    case L'F':
      keys = kLineEnd;
      break;
    case L'~':
      if (parameters == L"1" || parameters == L"7") keys = kLineStart;
      if (parameters == L"4" || parameters == L"8") keys = kLineEnd;
      if (parameters == L"3") return delete_under_cursor(editor);
      break;
    default:
      break;
  }
  if (keys == nullptr) return CC_NORM;  // a key without a meaning here: nothing happens
  el_wpush(editor, keys);
  return CC_NORM;
}

// ESC [ parameters final: a control sequence.
unsigned char control_sequence(EditLine* editor, wint_t) {
  std::wstring parameters;
  for (wchar_t character; el_wgetc(editor, &character) == 1;) {
    if (character >= 0x40 && character <= 0x7E) return do_key(editor, character, parameters);
    if (character < 0x20 || parameters.size() == kLongestSequence) return CC_ERROR;
    parameters += character;
  }
  return CC_EOF;
}

// ESC O final: a cursor or function key in the terminal's application mode.
unsigned char application_key(EditLine* editor, wint_t) {
  wchar_t character;
  if (el_wgetc(editor, &character) != 1) return CC_EOF;
  return do_key(editor, character, L"");
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

  // Ctrl-D: the end of input on an empty line, as a terminal's own line input has it (and with
  // nothing shown, as there); else the character under the cursor goes.
  static unsigned char end_or_delete(EditLine* editor, wint_t) {
    const LineInfoW* line = el_wline(editor);
    if (line->buffer == line->lastchar) return CC_EOF;
    return delete_under_cursor(editor);
  }

  void configure() {
    el_wset(editor_, EL_EDITOR, L"emacs");
    el_wset(editor_, EL_PROMPT, no_prompt);
    el_wset(editor_, EL_SIGNAL, 1);
    el_wset(editor_, EL_SAFEREAD, 1);
    el_wset(editor_, EL_HIST, history_w, history_);
    el_wset(editor_, EL_ADDFN, L"songsearch-end-or-delete", L"end of input or delete",
            end_or_delete);
    el_wset(editor_, EL_ADDFN, L"songsearch-control-sequence", L"a key's control sequence",
            control_sequence);
    el_wset(editor_, EL_ADDFN, L"songsearch-application-key", L"a key in application mode",
            application_key);
    // Keys as shells and other prompts bind them, where the editor's defaults differ.
    const wchar_t* const bindings[][2] = {
        {L"^D", L"songsearch-end-or-delete"},
        {L"^R", L"em-inc-search-prev"},
        {L"^W", L"ed-delete-prev-word"},
        {L"^U", L"vi-kill-line-prev"},
        {L"^K", L"ed-kill-line"},
        {L"\033[", L"songsearch-control-sequence"},
        {L"\033O", L"songsearch-application-key"},
    };
    for (const auto& [keys, function] : bindings)
      el_wset(editor_, EL_BIND, keys, function, nullptr);
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

EditedLine edit_line(LineUse use) {
  take_terminal_input();
  return the_editor().read(use);
}
