#include "platform/process/child_reaper.h"

#include <pthread.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <vector>

namespace {

std::mutex fallback_mutex;
std::vector<pid_t> fallback_children;  // guarded by fallback_mutex

// True when `child` has been collected (or is not ours to collect).
bool collect(pid_t child, int options) {
  for (;;) {
    const pid_t result = ::waitpid(child, nullptr, options);
    if (result == child) return true;
    if (result == 0) return false;
    if (errno != EINTR) return true;  // ECHILD: already collected or never ours
  }
}

void* collect_in_thread(void* child) {
  collect(static_cast<pid_t>(reinterpret_cast<std::intptr_t>(child)), 0);
  return nullptr;
}

bool start_collector_thread(pid_t child) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  pthread_t thread;
  const int failed = pthread_create(&thread, &attributes, collect_in_thread,
                                    reinterpret_cast<void*>(static_cast<std::intptr_t>(child)));
  pthread_attr_destroy(&attributes);
  return failed == 0;
}

}  // namespace

void reap_when_ended(pid_t child) {
  if (collect(child, WNOHANG) || start_collector_thread(child)) return;
  std::lock_guard lock(fallback_mutex);
  fallback_children.push_back(child);
}

void sweep_unreaped_children() {
  std::lock_guard lock(fallback_mutex);
  std::erase_if(fallback_children, [](pid_t child) { return collect(child, WNOHANG); });
}
