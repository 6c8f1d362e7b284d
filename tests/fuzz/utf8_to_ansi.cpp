// Feeds bytes from the network to utf8_to_ansi as a text (up to its first NUL). The conversion
// must give what the route through the whole text's UTF-16 units gives (MultiByteToWideChar,
// then WideCharToMultiByte), and what ICU gives converting the same bytes from UTF-8 to
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
  const ByteSet wide = multibyte_to_utf16(text.get(), CP_UTF8);
  const Text through_utf16 = utf16_to_multibyte(wide.bytes(), CP_GBK);
  if (converted.view() != through_utf16.view()) std::abort();
  return 0;
}
