#include "runtime/wide_text.h"

#include "platform/codepage/codepage.h"

UniqueBstr ansi_to_wide(const char* text) {
  if (text == nullptr) return UniqueBstr();
  const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (units <= 0) return UniqueBstr();
  UniqueBstr wide(SysAllocStringLen(nullptr, static_cast<std::uint32_t>(units - 1)));
  if (wide.get() == nullptr) return wide;
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide.get(), units) <= 0) wide.reset();
  return wide;
}

Text wide_to_ansi(const char16_t* text) {
  if (text == nullptr) return Text();
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return Text();
  Text ansi = Text::adopt(static_cast<char*>(mem_alloc(static_cast<std::uint32_t>(bytes))));
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, const_cast<char*>(ansi.get()), bytes, nullptr,
                          nullptr) <= 0) {
    return Text();
  }
  return ansi;
}
