// What the download and player tests share: a scratch folder removed with everything in it, and
// file helpers.
#pragma once

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace download_test {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = "/tmp/songsearch_download_XXXXXX";
    path_ = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  ~ScratchFolder() { remove_tree(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  [[nodiscard]] const std::string& path() const { return path_; }
  [[nodiscard]] std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  // The names in the folder, sorted.
  [[nodiscard]] std::vector<std::string> names() const {
    std::vector<std::string> found;
    if (DIR* folder = opendir(path_.c_str())) {
      while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") found.push_back(name);
      }
      closedir(folder);
    }
    std::sort(found.begin(), found.end());
    return found;
  }

 private:
  static void remove_tree(const std::string& path) {
    if (path.empty()) return;
    if (DIR* folder = opendir(path.c_str())) {
      while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat status {};
        const std::string inner = path + "/" + name;
        if (lstat(inner.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
          remove_tree(inner);
        } else {
          unlink(inner.c_str());
        }
      }
      closedir(folder);
    }
    rmdir(path.c_str());
  }

  std::string path_;
};

inline std::string file_bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

inline void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace download_test
