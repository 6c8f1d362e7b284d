// Feeds a batch file's bytes, a user's free text, to the step that makes keywords of its lines.
// Whatever the file holds, each keyword must be one line's worth: not empty, no line end or NUL
// in it, at most as long as the prompt reads a line, and no more keywords than the file has
// lines.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/batch_file.h"
#include "runtime/console_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t lines =
      static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  const std::vector<std::string> keywords = batch_file_keywords(text);
  if (keywords.size() > lines) std::abort();
  for (const std::string& keyword : keywords) {
    if (keyword.empty() || keyword.size() > kConsoleReadLimit) std::abort();
    if (keyword.find('\n') != std::string::npos || keyword.find('\0') != std::string::npos) {
      std::abort();
    }
  }
  return 0;
}
