// Stand-in for MessageBoxA on a platform without a desktop.
//
// The box is put in front of the user on standard error, converted to the terminal's character
// set: the caption, ": ", the text, and a line end. A lead byte that standard error holds back for
// a character split between writes is written out before the box (FlushFileBuffers). There is one
// OK button to press, so the result is always IDOK. The owner window and the style are accepted and
// ignored.
#pragma once

#include <cstdint>

inline constexpr std::uint32_t MB_ICONERROR = 0x10;
inline constexpr int IDOK = 1;

int MessageBoxA(void* owner, const char* text, const char* caption, std::uint32_t style);
