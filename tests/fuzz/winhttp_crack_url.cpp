// Feeds arbitrary addresses to WinHttpCrackUrl and escapes what it reports as the object name,
// as a caller's free-text address reaches the HTTP client. The first byte picks how the record
// asks for the parts (pointers, or buffers of a size the second byte gives) and whether the
// length is passed; the rest is the address in UTF-16 (little-endian pairs).
// What must hold: the parts lie inside the address in order, copies match the pointers, and the
// escaped object name is printable ASCII equal to a plain escape of ICU's UTF-8 for it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/codepage/codepage.h"
#include "platform/winhttp/object_name.h"
#include "platform/winhttp/winhttp.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

bool has_lone_surrogate(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xDC00 && unit <= 0xDFFF) return true;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return true;
      ++i;
    }
  }
  return false;
}

// The escape written the plain way, over ICU's UTF-8.
std::string reference_escape(std::u16string_view text) {
  std::string utf8(text.size() * 3, '\0');
  if (!text.empty()) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                            static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(size));
  } else {
    utf8.clear();
  }
  std::string escaped;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x21 || byte > 0x7E ||
        std::string_view("\"#<>[\\]^`{|}").find(c) != std::string_view::npos) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", byte);
      escaped += hex;
    } else {
      escaped += c;
    }
  }
  return escaped;
}

void check_object_name(std::u16string_view path, std::u16string_view extra) {
  std::u16string object(path);
  object += extra;
  const std::string escaped = escape_object_name(object);
  for (const char c : escaped)
    require(c > 0x20 && c < 0x7F);
  if (!has_lone_surrogate(object)) require(escaped == reference_escape(object));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t mode = data[0];
  const DWORD buffer_size = data[1] % 48;
  std::u16string url;
  for (std::size_t i = 2; i + 1 < size; i += 2)
    url.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  const DWORD length = (mode & 1) ? static_cast<DWORD>(url.size()) : 0;

  URL_COMPONENTS pointers{};
  pointers.dwStructSize = kUrlComponentsRecordSize;
  pointers.dwSchemeLength = pointers.dwHostNameLength = pointers.dwUserNameLength =
      pointers.dwPasswordLength = pointers.dwUrlPathLength = pointers.dwExtraInfoLength = 1;
  if (!WinHttpCrackUrl(url.c_str(), length, 0, &pointers)) return 0;

  const std::u16string_view whole = length != 0 ? std::u16string_view(url) : url.c_str();
  const char16_t* end = whole.data() + whole.size();
  auto inside = [&](const char16_t* part, DWORD part_length) {
    return part == nullptr ? part_length == 0 : part >= whole.data() && part_length <= end - part;
  };
  require(inside(pointers.lpszScheme, pointers.dwSchemeLength));
  require(inside(pointers.lpszHostName, pointers.dwHostNameLength));
  require(inside(pointers.lpszUserName, pointers.dwUserNameLength));
  require(inside(pointers.lpszPassword, pointers.dwPasswordLength));
  require(inside(pointers.lpszUrlPath, pointers.dwUrlPathLength));
  require(inside(pointers.lpszExtraInfo, pointers.dwExtraInfoLength));
  require(pointers.dwHostNameLength > 0);
  require(pointers.nScheme == INTERNET_SCHEME_HTTP || pointers.nScheme == INTERNET_SCHEME_HTTPS);
  require(pointers.lpszUrlPath + pointers.dwUrlPathLength == pointers.lpszExtraInfo);
  require(pointers.lpszExtraInfo + pointers.dwExtraInfoLength == end);
  const std::u16string_view path(pointers.lpszUrlPath, pointers.dwUrlPathLength);
  const std::u16string_view extra(pointers.lpszExtraInfo, pointers.dwExtraInfoLength);
  require(path.empty() || path.front() == u'/');
  require(extra.empty() || extra.front() == u'?');
  check_object_name(path, extra);

  // The same address again, with the parts copied into buffers of the fuzzed size.
  char16_t host[48], path_copy[48], extra_copy[48];
  URL_COMPONENTS copies{};
  copies.dwStructSize = sizeof copies;
  copies.lpszHostName = host;
  copies.lpszUrlPath = path_copy;
  copies.lpszExtraInfo = (mode & 2) ? extra_copy : nullptr;
  copies.dwHostNameLength = copies.dwUrlPathLength = buffer_size;
  copies.dwExtraInfoLength = (mode & 2) ? buffer_size : 0;
  if (WinHttpCrackUrl(url.c_str(), length, 0, &copies)) {
    require(std::u16string_view(host, copies.dwHostNameLength) ==
            std::u16string_view(pointers.lpszHostName, pointers.dwHostNameLength));
    require(std::u16string_view(path_copy, copies.dwUrlPathLength) == path);
  } else {
    require(buffer_size == 0 || GetLastError() == ERROR_INSUFFICIENT_BUFFER);
  }
  return 0;
}
