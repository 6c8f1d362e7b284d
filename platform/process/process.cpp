#include "platform/process/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/console/terminal_charset.h"
#include "platform/process/child_reaper.h"
#include "platform/process/command_interpreter.h"
#include "platform/process/command_line.h"

extern char** environ;

namespace {

CreateProcessObserver observer = nullptr;

struct Child {
  pid_t pid = 0;
  int open_handles = 0;
  bool collected = false;
};

// A process or thread handle: both name the same single-threaded child.
struct HandleObject {
  std::shared_ptr<Child> child;
};

std::mutex handles_mutex;
std::unordered_set<HandleObject*> open_handles;  // guarded by handles_mutex

std::shared_ptr<Child> child_of(HANDLE handle) {
  std::lock_guard lock(handles_mutex);
  const auto found = open_handles.find(static_cast<HandleObject*>(handle));
  return found == open_handles.end() ? nullptr : (*found)->child;
}

HANDLE open_handle(const std::shared_ptr<Child>& child) {
  auto* handle = new HandleObject{child};
  std::lock_guard lock(handles_mutex);
  ++child->open_handles;
  open_handles.insert(handle);
  return handle;
}

DWORD error_from_errno(int error) {
  switch (error) {
    case ENOENT:
    case ENAMETOOLONG:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENOEXEC:
      return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
    case EAGAIN:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

BOOL fail(DWORD code) {
  SetLastError(code);
  return false;
}

bool options_supported(const char* application_name, DWORD creation_flags, void* environment,
                       const char* current_directory, const STARTUPINFOA& startup_info) {
  return application_name == nullptr && creation_flags == 0 && environment == nullptr &&
         current_directory == nullptr && (startup_info.dwFlags & STARTF_USESTDHANDLES) == 0;
}

// The path to start and its argument vector, in the terminal's character set.
struct Invocation {
  std::string program;
  bool search_path = true;
  std::vector<std::string> argv;
};

Invocation invocation_for(std::string_view command_line) {
  Invocation invocation;
  invocation.argv = command_line_to_argv(command_line);
  if (!invocation.argv.empty() && names_command_interpreter(invocation.argv.front())) {
    invocation.argv = interpreter_argv(command_line_tail(command_line));
    invocation.search_path = false;
  }
  for (std::string& argument : invocation.argv)
    argument = gbk_to_terminal(argument);
  if (!invocation.argv.empty()) invocation.program = invocation.argv.front();
  return invocation;
}

// Starts the child; 0 with `*pid` set, or an errno value.
int spawn(const Invocation& invocation, bool inherit_handles, pid_t* pid) {
  std::vector<char*> argv;
  for (const std::string& argument : invocation.argv)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  sigfillset(&signals);
  posix_spawnattr_setsigdefault(&attributes, &signals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!inherit_handles) posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  const auto start = invocation.search_path ? posix_spawnp : posix_spawn;
  const int error =
      start(pid, invocation.program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return error;
}

// Collects `child` when it has ended, waiting at most until `give_up` (null: no limit).
bool collect(Child& child, const timespec* give_up) {
  for (;;) {
    const pid_t result = ::waitpid(child.pid, nullptr, give_up ? WNOHANG : 0);
    if (result == child.pid || (result < 0 && errno != EINTR)) return true;  // ECHILD: gone
    if (result == 0) {
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      if (now.tv_sec > give_up->tv_sec ||
          (now.tv_sec == give_up->tv_sec && now.tv_nsec >= give_up->tv_nsec)) {
        return false;
      }
      const timespec pause{0, 1000000};
      nanosleep(&pause, nullptr);
    }
  }
}

timespec deadline_after(DWORD milliseconds) {
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += milliseconds / 1000;
  deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000;
  if (deadline.tv_nsec >= 1000000000) deadline.tv_sec += 1, deadline.tv_nsec -= 1000000000;
  return deadline;
}

}  // namespace

void SetCreateProcessObserver(CreateProcessObserver new_observer) {
  observer = new_observer;
}

BOOL CreateProcessA(const char* application_name, char* command_line, SECURITY_ATTRIBUTES*,
                    SECURITY_ATTRIBUTES*, BOOL inherit_handles, DWORD creation_flags,
                    void* environment, const char* current_directory, STARTUPINFOA* startup_info,
                    PROCESS_INFORMATION* information) {
  if (observer != nullptr) observer(command_line, startup_info);
  sweep_unreaped_children();
  if (command_line == nullptr || startup_info == nullptr || information == nullptr) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  if (!options_supported(application_name, creation_flags, environment, current_directory,
                         *startup_info)) {
    return fail(ERROR_NOT_SUPPORTED);
  }
  const Invocation invocation = invocation_for(command_line);
  if (invocation.program.empty()) return fail(ERROR_INVALID_PARAMETER);

  auto child = std::make_shared<Child>();
  if (const int error = spawn(invocation, inherit_handles, &child->pid)) {
    return fail(error_from_errno(error));
  }
  information->hProcess = open_handle(child);
  information->hThread = open_handle(child);
  information->dwProcessId = static_cast<DWORD>(child->pid);
  information->dwThreadId =
      static_cast<DWORD>(child->pid);  // a process's first thread id is its pid
  return true;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  const std::shared_ptr<Child> child = child_of(handle);
  if (child == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  {
    std::lock_guard lock(handles_mutex);
    if (child->collected) return WAIT_OBJECT_0;
  }
  const timespec give_up = deadline_after(milliseconds == INFINITE ? 0 : milliseconds);
  if (!collect(*child, milliseconds == INFINITE ? nullptr : &give_up)) return WAIT_TIMEOUT;
  std::lock_guard lock(handles_mutex);
  child->collected = true;
  return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE handle) {
  sweep_unreaped_children();
  std::unique_ptr<HandleObject> closed;
  {
    std::lock_guard lock(handles_mutex);
    const auto found = open_handles.find(static_cast<HandleObject*>(handle));
    if (found == open_handles.end()) return fail(ERROR_INVALID_HANDLE);
    closed.reset(*found);
    open_handles.erase(found);
    if (--closed->child->open_handles > 0 || closed->child->collected) return true;
    closed->child->collected = true;  // from here on the reaper owns it
  }
  reap_when_ended(closed->child->pid);
  return true;
}
