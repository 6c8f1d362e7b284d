// Stand-ins for the console services of kernel32 and the C runtime: the standard handles,
// WriteFile, ReadConsoleA and _getch, over the process's descriptors 0, 1 and 2.
//
// The system's texts are GBK; the terminal speaks its own character set (terminal_charset.h).
// Output is converted on its way out and input on its way in, so callers see GBK bytes only.
// Standard input has one per-process buffer shared by ReadConsoleA and _getch: bytes read from
// the descriptor but not yet delivered wait there for the next call, whichever it is.
#pragma once

#include "platform/base/types.h"
#include "platform/line_editor/line_editor.h"

inline constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
inline constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
inline constexpr DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);

// _getch's result at the end of standard input.
inline constexpr int kGetchEndOfInput = -1;

// GetStdHandle: the handle of standard input, output or error (descriptors 0, 1, 2).
// Returns the same handle on every call for the same stream. Returns null when `which` names no
// standard stream, or when the process has no such descriptor open. Deviation: an unknown `which`
// gives null rather than INVALID_HANDLE_VALUE.
HANDLE GetStdHandle(DWORD which);

// Keeps a standard descriptor that the program was started without (0, 1 or 2 closed) unusable
// for the whole run: /dev/null is opened on it with the access that the stream cannot use, so
// that GetStdHandle still gives a handle whose reads or writes fail as on a closed descriptor.
// Without it the first socket or file the process opens would take the number, and output meant
// for the terminal would go to a server. Call it first thing in main.
void hold_closed_standard_descriptors();

// WriteFile (synchronous, to a standard output or error handle): writes `count` GBK bytes of
// `buffer`, converted to the terminal's character set, with at most one underlying write plus
// whatever finishes the character that write cut in two.
// Success: TRUE with `*written` the number of GBK bytes consumed, which is less than `count`
// after a partial write. A double-byte character split between two calls is converted whole: a
// lead byte at the end of `buffer` is kept by the handle and counted as written. A count of 0
// writes nothing and succeeds. A descriptor in non-blocking mode is waited on until it takes
// bytes, as a synchronous handle would. The first write to standard output takes the terminal's
// input for line editing (take_terminal_input, line_editor.h) when both are terminals.
// Failure: FALSE with `*written` 0 for a handle that is not an output handle, a null buffer with
// a non-zero count, or a failed write. `overlapped` must be null (FALSE otherwise).
BOOL WriteFile(HANDLE handle, const void* buffer, DWORD count, DWORD* written, void* overlapped);

// FlushFileBuffers (on a standard output or error handle): writes out what the handle holds back,
// which is at most the lead byte of a double-byte character whose trail byte has not come (see
// WriteFile). Nothing can complete that character any more, so the byte goes out as itself on a
// GBK terminal and as "?" on any other; a later write starts afresh.
// Success: TRUE, also when nothing was held. Failure: FALSE for a handle that is not an output
// handle, or a failed write (the byte is dropped). Deviation: the platform's console holds nothing
// back, so there the call has nothing to write.
BOOL FlushFileBuffers(HANDLE handle);

// ReadConsoleA (line input on the standard input handle): delivers the next line of standard
// input, converted to GBK and ended with CR LF as the console delivers it, at most `count` bytes
// per call; the rest of a longer line stays for the next calls. A double-byte character is not cut
// in two unless `count` is 1. Standard input that is a pipe or a file is read line by line the
// same way; a last line without a line end still gets CR LF. A line of more than 4096 bytes is
// taken from the descriptor and converted in pieces of whole characters, never held whole.
// Success: TRUE with `*read` the bytes stored; 0 at the end of input (an empty line gives 2).
// Failure: FALSE with `*read` 0 for another handle, a null buffer, a zero count, a read error, or
// a non-null `control`.
BOOL ReadConsoleA(HANDLE handle, void* buffer, DWORD count, DWORD* read, void* control);

// Stand-in extension, ReadConsoleA for a line whose use is known. When standard input and output
// are terminals, a line is read through the line editor (line_editor.h), which keeps keywords in
// its history, and delivered as ReadConsoleA delivers a line; a line the editor cannot read is
// read as ReadConsoleA reads one. Elsewhere the same as ReadConsoleA with a null `control`.
BOOL ReadConsoleLine(HANDLE handle, void* buffer, DWORD count, DWORD* read, LineUse use);

// _getch: one key from standard input without echo, as a GBK byte (a double-byte character comes
// in two calls). On a terminal the key is read in raw mode (no echo, no line editing, Enter as
// CR 13), and the terminal's mode is restored before returning; keys that arrived together are
// kept for the next calls. From a pipe or a file, a line end (LF or CR LF) arrives as CR 13.
// Deviation: returns kGetchEndOfInput at the end of input or on a read error, where the console
// would wait forever.
int _getch();
