// Line editing of standard input on a terminal, over libedit, behind the console stand-in's line
// input: what a person types at a prompt is edited and recalled as a console of the platform
// lets them (cursor keys, whole-character erasure in the locale's charset whatever the terminal's
// IUTF8 mode, a history of keywords kept across runs). Pipes and files never come here.
//
// The editor prints no prompt of its own: the program has printed it already.
#pragma once

#include <string>

// Which line is read: a keyword enters the history, any other line does not.
enum class LineUse { plain, keyword };

// Where the keyword history lives.
enum class HistoryPolicy {
  on_disk,      // loaded from and saved to the history file (history_file.h)
  session_only  // recalled within this run only; nothing read from or written to disk
};

// Chooses the keyword history's policy: for loading, when called before the first line is read
// from a terminal; for saving, from the call on. The default is on_disk, unless SONGSEARCH_HISTORY
// is set to the empty string. Intended for the command line's --no-history.
void set_keyword_history(HistoryPolicy policy);

// Whether lines are edited: standard input and standard output are both terminals.
[[nodiscard]] bool line_editing_applies();

// Takes the terminal's input, when lines are edited: from now on keys typed while no line is being
// read are not echoed by the terminal but shown when the next line is read, as the platform's
// console does, so that nothing typed ahead shows twice. Called before the first output, so that
// it holds for the first prompt too; later calls do nothing. The terminal's modes are put back on
// the way out: at exit, at ExitProcess (give_back_terminal_input) and on a terminating signal,
// which then ends the program as it would have ended it anyway (Ctrl-C: status 130).
void take_terminal_input();

// Puts the terminal's modes back as they were before take_terminal_input; safe in any state.
void give_back_terminal_input();

// Lends the terminal to another program (a player) for as long as the loan lives: its modes as
// they were before take_terminal_input while the program runs, held again afterwards, so that the
// program sees the terminal as the user's shell left it and typed-ahead keys still wait for the
// next line. Does nothing while the terminal's input was never taken.
class TerminalLoan {
 public:
  TerminalLoan() { give_back_terminal_input(); }
  ~TerminalLoan();
  TerminalLoan(const TerminalLoan&) = delete;
  TerminalLoan& operator=(const TerminalLoan&) = delete;
};

enum class EditedLineStatus { line, end_of_input, failed };

struct EditedLine {
  EditedLineStatus status = EditedLineStatus::failed;
  std::string gbk;  // the line without its line end and without control characters, in GBK
};

// Reads one line with editing (call only when line_editing_applies()); takes the terminal's input
// first if that has not been done. Ctrl-D on an empty line is the end of input. `failed` when the
// editor cannot start or read.
[[nodiscard]] EditedLine edit_line(LineUse use);
