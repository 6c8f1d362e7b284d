// GUIDs: the 128-bit identifiers of interfaces (IID) and classes (CLSID).
#pragma once

#include <cstdint>
#include <string_view>

struct GUID {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::uint8_t Data4[8] = {};

  friend constexpr bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

[[nodiscard]] constexpr bool IsEqualGUID(const GUID& a, const GUID& b) {
  return a == b;
}

inline constexpr IID IID_NULL{};
inline constexpr CLSID CLSID_NULL{};
inline constexpr IID IID_IUnknown{0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch{0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_ITypeInfo{0x00020401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_ITypeLib{0x00020402, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Reads the registry form "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (hex digits in either case,
// nothing before or after). False, leaving `*guid` untouched, for anything else.
[[nodiscard]] bool parse_guid_text(std::u16string_view text, GUID* guid);

// StringFromGUID2: writes the registry form in upper case with its NUL into `out` and returns the
// count of characters written including the NUL (39); 0 when `size` is below 39 or `out` is null.
int StringFromGUID2(const GUID& guid, char16_t* out, int size);
