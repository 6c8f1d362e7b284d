#include "platform/line_editor/history_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace {

std::string environment(const char* name, bool* is_set) {
  const char* value = std::getenv(name);
  *is_set = value != nullptr;
  return value != nullptr ? value : "";
}

// Makes every missing folder on the way to `path`'s last component.
bool make_parent_folders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool write_all(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::string file_text(std::span<const std::string> entries) {
  std::string text;
  for (const std::string& entry : entries)
    text += entry + "\n";
  return text;
}

}  // namespace

std::string history_file_path(bool* no_home) {
  *no_home = false;
  bool is_set = false;
  std::string chosen = environment("SONGSEARCH_HISTORY", &is_set);
  if (is_set) return chosen;
  const std::string state = environment("XDG_STATE_HOME", &is_set);
  if (state.starts_with('/')) return state + "/songsearch/history";
  const std::string home = environment("HOME", &is_set);
  *no_home = !home.starts_with('/');
  return *no_home ? std::string() : home + "/.local/state/songsearch/history";
}

bool load_history(const std::string& path, std::vector<std::string>* entries) {
  entries->clear();
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return errno == ENOENT;
  std::string text;
  char chunk[4096];
  ssize_t count;
  while ((count = ::read(descriptor, chunk, sizeof chunk)) != 0) {
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) break;
    text.append(chunk, static_cast<std::size_t>(count));
  }
  ::close(descriptor);
  if (count < 0) return false;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) entries->push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (entries->size() > kHistoryLimit) {
    entries->erase(entries->begin(),
                   entries->begin() + static_cast<std::ptrdiff_t>(entries->size() - kHistoryLimit));
  }
  return true;
}

bool save_history(const std::string& path, std::span<const std::string> entries) {
  if (entries.size() > kHistoryLimit) entries = entries.last(kHistoryLimit);
  if (!make_parent_folders(path)) return false;
  std::string temporary = path + ".XXXXXX";
  const int descriptor = ::mkstemp(temporary.data());  // mode 0600
  if (descriptor < 0) return false;
  const bool written =
      write_all(descriptor, file_text(entries)) && ::fchmod(descriptor, S_IRUSR | S_IWUSR) == 0;
  const bool closed = ::close(descriptor) == 0;
  if (written && closed && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}
