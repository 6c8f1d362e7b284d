// Type-library services. This system ships no type-library files, so LoadTypeLib finds none and
// callers go on without one; the other services keep their contracts for the code that reaches
// them.
#pragma once

#include <cstdint>

#include "platform/com/type_info.h"

enum SYSKIND : std::int32_t { SYS_WIN16 = 0, SYS_WIN32 = 1, SYS_MAC = 2, SYS_WIN64 = 3 };

// LoadTypeLib: fails with TYPE_E_CANTLOADLIBRARY for every path (E_INVALIDARG for null
// arguments), leaving `*library` null.
HRESULT LoadTypeLib(const OLECHAR* path, ITypeLib** library);

// RegisterTypeLib: there is no registry to write; S_OK for a library and a path, E_INVALIDARG
// when either is null.
HRESULT RegisterTypeLib(ITypeLib* library, const OLECHAR* path, const OLECHAR* help_directory);

// LHashValOfNameSys: a hash of `name` that ignores letter case, as ITypeLib::FindName expects:
// its low 16 bits hash the name, bits 16-23 carry the low byte of the LCID and bits 24-31 the
// system kind. 0 for a null name. The hash values are this stand-in's own, not the platform's.
std::uint32_t LHashValOfNameSys(SYSKIND kind, std::uint32_t lcid, const OLECHAR* name);

// GetUserDefaultLCID: 0x0804 (Chinese, PRC), the locale of the systems whose code page is 936.
std::uint32_t GetUserDefaultLCID();
