// Test helper: points one of this process's descriptors at a pipe, so that what this process and
// the children it starts meanwhile write there can be read back.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

class DescriptorCapture {
 public:
  explicit DescriptorCapture(int descriptor) : descriptor_(descriptor) {
    std::fflush(nullptr);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return;
    saved_ = ::fcntl(descriptor_, F_DUPFD_CLOEXEC, 0);
    ::dup2(ends[1], descriptor_);
    ::close(ends[1]);
    read_end_ = ends[0];
  }
  DescriptorCapture(const DescriptorCapture&) = delete;
  DescriptorCapture& operator=(const DescriptorCapture&) = delete;
  ~DescriptorCapture() { finish(); }

  // Puts the descriptor back and returns everything written to the pipe, waiting until every
  // child that inherited it has closed it (ended).
  std::string finish() {
    std::string captured;
    if (read_end_ < 0) return captured;
    std::fflush(nullptr);
    ::dup2(saved_, descriptor_);
    ::close(saved_);
    char buffer[4096];
    for (ssize_t got; (got = ::read(read_end_, buffer, sizeof buffer)) != 0;) {
      if (got > 0) captured.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(read_end_);
    read_end_ = -1;
    return captured;
  }

 private:
  int descriptor_;
  int saved_ = -1;
  int read_end_ = -1;
};
