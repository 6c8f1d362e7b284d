// Byte positions in a search's subject. The component counts positions in UTF-16 units of the
// subject it was given; the system counts bytes of the GBK text the caller searched, in which a
// Chinese character takes two bytes but one UTF-16 unit.
#pragma once

#include <cstdint>
#include <string_view>

// The position of a text that is not in the subject.
inline constexpr std::int32_t kNoPosition = -2;

// The 0-based byte position, in the system-ANSI text of `subject`, of the first occurrence of
// `found` at or after UTF-16 position `first` (positions below 0 read as 0). kNoPosition when
// `found` is empty or does not occur there.
//   subject_position(u"中文ab", u"ab", 2) == 4
[[nodiscard]] std::int32_t subject_position(std::u16string_view subject, std::u16string_view found,
                                            std::int32_t first);
