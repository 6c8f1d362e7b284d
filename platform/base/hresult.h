// HRESULT, the result code of the COM and OLE Automation stand-ins, and the codes they return.
//
// An HRESULT is a signed 32-bit code: zero or positive is success (S_OK, S_FALSE), negative is
// failure. The values are the platform's, so code that compares or prints them reads the same.
#pragma once

#include <cstdint>

using HRESULT = std::int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

[[nodiscard]] constexpr HRESULT hresult_from_bits(std::uint32_t bits) {
  return static_cast<HRESULT>(bits);
}
[[nodiscard]] constexpr bool SUCCEEDED(HRESULT result) {
  return result >= 0;
}
[[nodiscard]] constexpr bool FAILED(HRESULT result) {
  return result < 0;
}

inline constexpr HRESULT E_NOTIMPL = hresult_from_bits(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = hresult_from_bits(0x80004002);
inline constexpr HRESULT E_POINTER = hresult_from_bits(0x80004003);
inline constexpr HRESULT E_FAIL = hresult_from_bits(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = hresult_from_bits(0x8000FFFF);
inline constexpr HRESULT E_OUTOFMEMORY = hresult_from_bits(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = hresult_from_bits(0x80070057);

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = hresult_from_bits(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = hresult_from_bits(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = hresult_from_bits(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = hresult_from_bits(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = hresult_from_bits(0x80020006);
inline constexpr HRESULT DISP_E_NONAMEDARGS = hresult_from_bits(0x80020007);
inline constexpr HRESULT DISP_E_BADVARTYPE = hresult_from_bits(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = hresult_from_bits(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = hresult_from_bits(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = hresult_from_bits(0x8002000B);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = hresult_from_bits(0x8002000D);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = hresult_from_bits(0x8002000E);

inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = hresult_from_bits(0x8002802B);
inline constexpr HRESULT TYPE_E_CANTLOADLIBRARY = hresult_from_bits(0x80029C4A);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = hresult_from_bits(0x80040110);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = hresult_from_bits(0x80040154);
inline constexpr HRESULT CO_E_NOTINITIALIZED = hresult_from_bits(0x800401F0);
inline constexpr HRESULT CO_E_CLASSSTRING = hresult_from_bits(0x800401F3);
