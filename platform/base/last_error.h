// Stand-ins for GetLastError and SetLastError of kernel32, with the error codes the services share.
//
// Each thread has its own last error, 0 (ERROR_SUCCESS) until a call sets it. A service keeps its
// own codes beside its calls (the HTTP client's ERROR_WINHTTP_* in platform/winhttp/winhttp.h).
#pragma once

#include "platform/base/types.h"

inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;

// GetLastError: the calling thread's last error code.
DWORD GetLastError();
// SetLastError: makes `code` the calling thread's last error code.
void SetLastError(DWORD code);
