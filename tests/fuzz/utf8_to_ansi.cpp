// Feeds bytes from the network to utf8_to_ansi as a text (up to its first NUL). The conversion
// through UTF-16 must give what ICU gives converting the same bytes from UTF-8 to
// windows-936-2000 directly, where a character the code page lacks becomes "?" for each of its
// UTF-16 units.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/encodings.h"
#include "runtime/text_blocks.h"
#include "tests/fuzz/icu_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  input = input.substr(0, input.find('\0'));
  const Text text = text_from_buffer(input);
  const Text converted = utf8_to_ansi(text.get());
  if (converted.view() != icu_gbk_from_utf8(input)) std::abort();
  return 0;
}
