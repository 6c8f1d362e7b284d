// Stand-in for GetStartupInfoA and the STARTUPINFOA record of kernel32.
//
// A process here has no start-up record of its own: GetStartupInfoA reports no desktop, title,
// position, size or fill attribute, no flags and null standard handles, and sets cb to the size
// of the 32-bit record (68 bytes), whatever the caller put there. It cannot fail.
#pragma once

#include <cstdint>

#include "platform/base/types.h"

// Record fields in the platform's order. In this 64-bit build the record is larger than cb says.
struct STARTUPINFOA {
  DWORD cb = 0;
  char* lpReserved = nullptr;
  char* lpDesktop = nullptr;
  char* lpTitle = nullptr;
  DWORD dwX = 0;
  DWORD dwY = 0;
  DWORD dwXSize = 0;
  DWORD dwYSize = 0;
  DWORD dwXCountChars = 0;
  DWORD dwYCountChars = 0;
  DWORD dwFillAttribute = 0;
  DWORD dwFlags = 0;
  WORD wShowWindow = 0;
  WORD cbReserved2 = 0;
  std::uint8_t* lpReserved2 = nullptr;
  HANDLE hStdInput = nullptr;
  HANDLE hStdOutput = nullptr;
  HANDLE hStdError = nullptr;
};

inline constexpr DWORD kStartupInfoRecordSize = 68;  // the 32-bit record

inline constexpr DWORD STARTF_USESHOWWINDOW = 0x00000001;
inline constexpr DWORD STARTF_USESTDHANDLES = 0x00000100;

inline constexpr WORD SW_HIDE = 0;
inline constexpr WORD SW_SHOWNORMAL = 1;
inline constexpr WORD SW_SHOWMINIMIZED = 2;
inline constexpr WORD SW_SHOWMAXIMIZED = 3;
inline constexpr WORD SW_SHOWNOACTIVATE = 4;
inline constexpr WORD SW_SHOW = 5;
inline constexpr WORD SW_SHOWMINNOACTIVE = 7;

// GetStartupInfoA: fills `*info` as described above; a null `info` is ignored.
void GetStartupInfoA(STARTUPINFOA* info);
