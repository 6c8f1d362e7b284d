#include "regex/subject_position.h"

#include "platform/codepage/codepage.h"

namespace {

// The byte length of the system-ANSI text of `wide`.
std::int32_t ansi_length(std::u16string_view wide) {
  if (wide.empty()) return 0;
  return WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                             nullptr, nullptr);
}

}  // namespace

std::int32_t subject_position(std::u16string_view subject, std::u16string_view found,
                              std::int32_t first) {
  if (found.empty()) return kNoPosition;
  const std::size_t at = subject.find(found, first > 0 ? static_cast<std::size_t>(first) : 0);
  if (at == std::u16string_view::npos) return kNoPosition;
  return ansi_length(subject.substr(0, at));
}
