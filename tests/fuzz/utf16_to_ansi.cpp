// Feeds bytes from the network to utf16_to_ansi as UTF-16LE units, as the answer's header block
// reaches it (the bytes may be unaligned and of odd length). Without non-spacing marks, which
// WC_COMPOSITECHECK may compose, the result must be what ICU's windows-936-2000 converter gives,
// with "?" for each UTF-16 unit of a character the code page lacks, up to the first NUL; and
// never more than two bytes a unit.
#include <unicode/uchar.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "http/encodings.h"
#include "tests/fuzz/icu_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text converted = utf16_to_ansi(ByteView(data, size));
  std::u16string units(size / 2, u'\0');
  if (!units.empty()) std::memcpy(units.data(), data, units.size() * 2);
  if (converted.size() > units.size() * 2) std::abort();
  for (const char16_t unit : units) {
    if (u_charType(unit) == U_NON_SPACING_MARK) return 0;
  }
  const std::string expected = icu_gbk_from_utf16(units);
  if (converted.view() != expected.substr(0, expected.find('\0'))) std::abort();
  return 0;
}
