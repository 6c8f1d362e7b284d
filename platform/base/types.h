// The platform's scalar types, as its interfaces spell them: BOOL is an int where nonzero is
// true, WORD, DWORD and UINT are unsigned of 16, 32 and 32 bits, and a HANDLE is an opaque pointer.
#pragma once

#include <cstdint>

using BOOL = int;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using HANDLE = void*;
