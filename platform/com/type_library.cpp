#include "platform/com/type_library.h"

#include "platform/base/ascii.h"

/* LoadTypeLib: no type-library files exist here; always fails. */
HRESULT LoadTypeLib(const OLECHAR* path, ITypeLib** library) {
  if (library == nullptr || path == nullptr) return E_INVALIDARG;
  *library = nullptr;
  return TYPE_E_CANTLOADLIBRARY;
}

/* RegisterTypeLib: nothing to record; succeeds for valid arguments. */
HRESULT RegisterTypeLib(ITypeLib* library, const OLECHAR* path, const OLECHAR*) {
  if (library == nullptr || path == nullptr) return E_INVALIDARG;
  return S_OK;
}

/* LHashValOfNameSys: case-insensitive FNV-1a folded to 16 bits, tagged with kind and locale. */
std::uint32_t LHashValOfNameSys(SYSKIND kind, std::uint32_t lcid, const OLECHAR* name) {
  if (name == nullptr) return 0;
  std::uint32_t hash = 2166136261u;
  for (const OLECHAR* at = name; *at != u'\0'; ++at) {
    hash = (hash ^ ascii_to_upper(*at)) * 16777619u;
  }
  const std::uint32_t folded = (hash ^ hash >> 16) & 0xFFFF;
  return static_cast<std::uint32_t>(kind) << 24 | (lcid & 0xFF) << 16 | folded;
}

std::uint32_t GetUserDefaultLCID() {
  return 0x0804;
}
