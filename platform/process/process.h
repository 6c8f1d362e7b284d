// Stand-ins for the process services of kernel32: CreateProcessA, WaitForSingleObject and
// CloseHandle, which report failure through the last error (platform/base/last_error.h).
//
// CreateProcessA splits the command line by the platform's rules (platform/process/command_line.h)
// and starts the program found by PATH search (posix_spawnp), or, when the program is cmd.exe,
// /bin/sh as the interpreter's stand-in (platform/process/command_interpreter.h). Arguments are
// handed over in the terminal's character set, as the child reads them there. The child shares the
// terminal and inherits every descriptor not marked close-on-exec, standard input, output and
// error included (the null standard handles of a record without STARTF_USESTDHANDLES mean: the
// caller's own). Its signal mask is empty and every signal has its default action.
//
// Supported: no application name, creation flags 0, the caller's environment and directory, no
// STARTF_USESTDHANDLES; anything else fails with ERROR_NOT_SUPPORTED. Security attributes and the
// show state mean nothing here and are ignored. With inheritance off, descriptors above 2 are
// closed in the child.
#pragma once

#include <cstdint>

#include "platform/base/last_error.h"
#include "platform/base/types.h"
#include "platform/process/startup_info.h"

struct SECURITY_ATTRIBUTES;

struct PROCESS_INFORMATION {
  HANDLE hProcess = nullptr;
  HANDLE hThread = nullptr;
  DWORD dwProcessId = 0;
  DWORD dwThreadId = 0;
};

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
inline constexpr DWORD WAIT_TIMEOUT = 0x00000102;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// CreateProcessA: true when the program was started; `*information` then holds a process handle
// and a thread handle (both to be closed with CloseHandle) and the child's ids. False when the
// program cannot be started (a missing program is ERROR_FILE_NOT_FOUND, never a child that fails),
// for an empty or null command line (ERROR_INVALID_PARAMETER), a null record or information
// pointer (ERROR_INVALID_PARAMETER) or an option not supported; `*information` is then untouched.
BOOL CreateProcessA(const char* application_name, char* command_line,
                    SECURITY_ATTRIBUTES* process_attributes, SECURITY_ATTRIBUTES* thread_attributes,
                    BOOL inherit_handles, DWORD creation_flags, void* environment,
                    const char* current_directory, STARTUPINFOA* startup_info,
                    PROCESS_INFORMATION* information);

// WaitForSingleObject on a process or thread handle: WAIT_OBJECT_0 once the child has ended (the
// handle's child is then collected; later waits return at once), WAIT_TIMEOUT when `milliseconds`
// passed first (INFINITE never times out), WAIT_FAILED with ERROR_INVALID_HANDLE for a handle that
// is not open.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// CloseHandle: true when `handle` was open. Closing a child's last handle before it was collected
// hands it to platform/process/child_reaper.h, so that it never stays a zombie. False with
// ERROR_INVALID_HANDLE for a handle that is not open.
BOOL CloseHandle(HANDLE handle);

// A test seam: when set, called first thing by every CreateProcessA call with the command line and
// start-up record as received (either may be null). Null removes it.
using CreateProcessObserver = void (*)(const char* command_line, const STARTUPINFOA* startup_info);
void SetCreateProcessObserver(CreateProcessObserver observer);
