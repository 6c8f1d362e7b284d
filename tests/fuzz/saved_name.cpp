// Feeds a download's name-making step with what the service and the answer supply: the entry's
// file name and hash, the play address and the Content-Type. The first byte picks the file
// system's charset (its low bit: GBK or UTF-8); the rest is split at NUL bytes into those four
// texts. Whatever they hold, the result must be one safe path component: 1 to 200 bytes, no "/",
// "\" or control character, no leading "." or "-", no trailing "." or space, whole characters of
// the charset, and an extension of ASCII letters and digits when the address gives one.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/download/saved_name.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

std::string_view next_part(std::string_view& rest) {
  const std::size_t end = rest.find('\0');
  const std::string_view part = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  return part;
}

// Checked byte by byte here, apart from the step's own character reading, so that a fault in one
// is not hidden by the same fault in the other.
// A GBK trail byte may be 0x5C ("\\"), so that byte is checked here only in UTF-8; the step's own
// check below sees it in GBK as a character.
void require_one_safe_component(std::string_view name, TerminalCharset charset) {
  require(!name.empty() && name.size() <= kLongestSavedName);
  require(name != "." && name != "..");
  require(name.front() != '.' && name.front() != '-');
  require(name.back() != '.' && name.back() != ' ');
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    require(byte >= 0x20 && byte != 0x7F && c != '/');
    require(c != '\\' || charset == TerminalCharset::gbk);
  }
}

void require_whole_utf8(std::string_view name) {
  for (std::size_t at = 0; at < name.size();) {
    const auto lead = static_cast<unsigned char>(name[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    require(lead < 0x80 || (lead >= 0xC2 && lead <= 0xF4));
    require(at + length <= name.size());
    for (std::size_t next = 1; next < length; ++next) {
      require((static_cast<unsigned char>(name[at + next]) & 0xC0) == 0x80);
    }
    at += length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const TerminalCharset charset = (data[0] & 1) != 0 ? TerminalCharset::gbk : TerminalCharset::utf8;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  SavedNameParts parts;
  parts.filename = next_part(rest);
  parts.hash = next_part(rest);
  parts.url = next_part(rest);
  parts.content_type = next_part(rest);

  const std::string name = saved_file_name(parts, charset);
  require_one_safe_component(name, charset);
  require(is_safe_file_name(name, charset));
  if (charset == TerminalCharset::utf8) require_whole_utf8(name);
  const std::string_view extension = extension_of_address(parts.url);
  if (!extension.empty()) {
    require(name.size() > extension.size() &&
            name.compare(name.size() - extension.size() - 1, std::string::npos,
                         "." + std::string(extension)) == 0);
  }
  return 0;
}
