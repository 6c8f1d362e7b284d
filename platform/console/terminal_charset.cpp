#include "platform/console/terminal_charset.h"

#include <langinfo.h>

#include <clocale>
#include <cstdint>
#include <optional>

#include "platform/base/ascii.h"
#include "platform/codepage/codepage.h"

namespace {

std::optional<TerminalCharset> detected;

bool is_gbk_family(const char* codeset) {
  for (const char* name : {"GBK", "GB2312", "EUC-CN", "GB18030", "CP936"}) {
    if (ascii_equal_ignoring_case(codeset, name)) return true;
  }
  return false;
}

TerminalCharset read_locale() {
  std::setlocale(LC_CTYPE, "");
  return is_gbk_family(nl_langinfo(CODESET)) ? TerminalCharset::gbk : TerminalCharset::utf8;
}

// Converts through UTF-16 with the code-page stand-ins.
std::string convert(std::string_view bytes, std::uint32_t from, std::uint32_t to) {
  if (bytes.empty()) return {};
  const int length = static_cast<int>(bytes.size());
  std::u16string wide(static_cast<std::size_t>(length), u'\0');  // never more units than bytes
  const int units = MultiByteToWideChar(from, 0, bytes.data(), length, wide.data(), length);
  if (units <= 0) return {};
  const int needed = WideCharToMultiByte(to, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(to, 0, wide.data(), units, out.data(), needed, nullptr, nullptr);
  return out;
}

}  // namespace

TerminalCharset terminal_charset() {
  if (!detected) detected = read_locale();
  return *detected;
}

void redetect_terminal_charset() {
  detected = read_locale();
}

std::string gbk_to_utf8(std::string_view gbk) {
  return convert(gbk, CP_GBK, CP_UTF8);
}
std::string utf8_to_gbk(std::string_view utf8) {
  return convert(utf8, CP_UTF8, CP_GBK);
}

std::string gbk_to_terminal(std::string_view gbk) {
  return terminal_charset() == TerminalCharset::gbk ? std::string(gbk) : gbk_to_utf8(gbk);
}

std::string terminal_to_gbk(std::string_view terminal) {
  return terminal_charset() == TerminalCharset::gbk ? std::string(terminal) : utf8_to_gbk(terminal);
}
