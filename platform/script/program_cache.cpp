#include "platform/script/program_cache.h"

#include <algorithm>
#include <mutex>
#include <string>

namespace {

struct CachedProgram {
  std::u16string source;
  std::vector<std::uint8_t> bytecode;
};

// Most recently used first.
std::vector<CachedProgram>& programs() {
  static std::vector<CachedProgram> cache;
  return cache;
}

std::mutex& cache_mutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

bool cached_program(std::u16string_view source, std::vector<std::uint8_t>* bytecode) {
  if (source.size() > kMaxCachedSource) return false;
  const std::lock_guard lock(cache_mutex());
  std::vector<CachedProgram>& cache = programs();
  const auto found = std::find_if(cache.begin(), cache.end(), [&](const CachedProgram& program) {
    return program.source == source;
  });
  if (found == cache.end()) return false;
  std::rotate(cache.begin(), found, found + 1);
  *bytecode = cache.front().bytecode;
  return true;
}

void remember_program(std::u16string_view source, std::span<const std::uint8_t> bytecode) {
  if (source.size() > kMaxCachedSource || bytecode.empty()) return;
  const std::lock_guard lock(cache_mutex());
  std::vector<CachedProgram>& cache = programs();
  if (cache.size() == kCachedPrograms) cache.pop_back();
  cache.insert(cache.begin(),
               CachedProgram{std::u16string(source), {bytecode.begin(), bytecode.end()}});
}

void forget_programs() {
  const std::lock_guard lock(cache_mutex());
  programs().clear();
}
