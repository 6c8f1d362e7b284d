#include "platform/line_editor/key_bindings.h"

#include <string>
#include <string_view>

namespace {

// The keys an escape sequence stands for are done by the emacs keys bound to the same functions.
constexpr std::size_t kLongestSequence = 16;
constexpr wchar_t kPreviousHistory[] = L"\x10", kNextHistory[] = L"\x0e";  // Ctrl-P, Ctrl-N
constexpr wchar_t kForward[] = L"\x06", kBackward[] = L"\x02";             // Ctrl-F, Ctrl-B
constexpr wchar_t kLineStart[] = L"\x01", kLineEnd[] = L"\x05";            // Ctrl-A, Ctrl-E
constexpr wchar_t kWordForward[] = L"\033f", kWordBackward[] = L"\033b";   // Alt-F, Alt-B

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

// Ctrl-D: the end of input on an empty line, as a terminal's own line input has it (and with
// nothing shown, as there); else the character under the cursor goes.
unsigned char end_or_delete(EditLine* editor, wint_t) {
  const LineInfoW* line = el_wline(editor);
  if (line->buffer == line->lastchar) return CC_EOF;
  return delete_under_cursor(editor);
}

}  // namespace

void bind_prompt_keys(EditLine* editor) {
  el_wset(editor, EL_ADDFN, L"songsearch-end-or-delete", L"end of input or delete", end_or_delete);
  el_wset(editor, EL_ADDFN, L"songsearch-control-sequence", L"a key's control sequence",
          control_sequence);
  el_wset(editor, EL_ADDFN, L"songsearch-application-key", L"a key in application mode",
          application_key);
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
    el_wset(editor, EL_BIND, keys, function, nullptr);
}
