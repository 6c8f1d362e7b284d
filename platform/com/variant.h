// VARIANT: the tagged value of OLE Automation, and the services that initialise, clear, copy and
// convert it.
//
// Layout (16 bytes): a 16-bit type tag `vt`, three reserved 16-bit words, then an 8-byte value.
// A VARIANT owns what its value holds: a BSTR, one interface reference, or a SAFEARRAY. A value
// with VT_BYREF points at storage it does not own. There is no VT_DECIMAL or VT_RECORD storage in
// this stand-in: the 16-byte decimal would not fit the 8-byte value of this layout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/base/hresult.h"
#include "platform/com/bstr.h"

class IUnknown;
class IDispatch;
struct SAFEARRAY;

using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using DATE = double;  // days since 30 December 1899; the fraction is the time of day
using SCODE = std::int32_t;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// CY: a currency amount, a 64-bit integer scaled by 10,000.
union CY {
  std::int64_t int64;
};

enum : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_PTR = 26,
  VT_SAFEARRAY = 27,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};

struct VARIANT {
  VARTYPE vt;
  std::uint16_t wReserved1;
  std::uint16_t wReserved2;
  std::uint16_t wReserved3;
  union {
    std::int64_t llVal;
    std::int32_t lVal;
    std::uint8_t bVal;
    std::int16_t iVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    CY cyVal;
    DATE date;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    SAFEARRAY* parray;
    std::int8_t cVal;
    std::uint16_t uiVal;
    std::uint32_t ulVal;
    std::uint64_t ullVal;
    std::int32_t intVal;
    std::uint32_t uintVal;
    std::uint8_t* pbVal;
    std::int16_t* piVal;
    std::int32_t* plVal;
    std::int64_t* pllVal;
    float* pfltVal;
    double* pdblVal;
    VARIANT_BOOL* pboolVal;
    SCODE* pscode;
    CY* pcyVal;
    DATE* pdate;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    SAFEARRAY** pparray;
    VARIANT* pvarVal;
    void* byref;
    std::int8_t* pcVal;
    std::uint16_t* puiVal;
    std::uint32_t* pulVal;
    std::uint64_t* pullVal;
    std::int32_t* pintVal;
    std::uint32_t* puintVal;
  };
};
static_assert(sizeof(VARIANT) == 16 && offsetof(VARIANT, llVal) == 8);
using VARIANTARG = VARIANT;

// Byte width of one value of the base type `vt` as an array element or a by-reference target
// (16 for VT_VARIANT); 0 for a type that has no fixed width here.
[[nodiscard]] std::uint32_t variant_type_size(VARTYPE vt);

// VariantInit: sets `vt` to VT_EMPTY and leaves the value alone. Null is ignored.
void VariantInit(VARIANT* v);

// VariantClear: frees what `v` owns (BSTR, interface reference, SAFEARRAY; nothing for VT_BYREF)
// and sets it to VT_EMPTY. S_OK; E_INVALIDARG for null; DISP_E_BADVARTYPE for a tag this
// stand-in does not know, leaving `v` unchanged; DISP_E_ARRAYISLOCKED for a locked array.
HRESULT VariantClear(VARIANT* v);

// VariantCopy: clears `dest`, then makes it a deep copy of `src`: a new BSTR, a copied SAFEARRAY,
// one more reference on an interface; a VT_BYREF value copies the pointer. Copying a VARIANT onto
// itself leaves it unchanged. E_INVALIDARG for a null argument; failure leaves `dest` VT_EMPTY.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);

// VariantCopyInd: as VariantCopy, but a VT_BYREF source is copied as the value it points at.
HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src);

// VariantChangeType: converts `src` (followed through VT_BYREF) to type `vt` into `dest`, which
// may be `src` itself; `dest` is cleared first only when the conversion succeeds. Results:
// S_OK; DISP_E_TYPEMISMATCH when no conversion exists or a text does not read as the target;
// DISP_E_OVERFLOW when a number does not fit; DISP_E_BADVARTYPE for an unknown target.
// Texts made from values (flags are accepted and ignored):
//   integers      decimal digits with a leading "-" when negative;
//   VT_R8         at most 15 significant digits, halves rounded away from zero; plain digits from
//                 0.00000000001 up to 999999999999999 ("100000", "0.0001"), the exponent form
//                 outside ("1E+15", "5.6789E-12"); VT_R4 the same with 7 digits ("1E+08")
//                 (platform/com/real_text.h);
//   VT_CY         its value / 10,000 with every digit it has ("922337203685477.5807", "1.5");
//   VT_BOOL       "True" or "False";
//   VT_DATE       "YYYY/M/D", "H:MM:SS" or both, as the short forms of the platform's default
//                 locale would write them (a time of midnight and a date of day 0 are left out);
//   VT_EMPTY      the empty text; VT_NULL, VT_ERROR and VT_UNKNOWN do not convert;
//   VT_DISPATCH   the text of its default member (DISPID 0) read as a property.
// Numbers read from texts: optional blanks, sign, digits, a decimal point and an exponent; "True"
// and "False" (any case) read as booleans for VT_BOOL only. Doubles turn into integers by rounding
// half to even, as the platform does; every non-zero number is true.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, std::uint16_t flags, VARTYPE vt);

// VarR8FromCy / VarR8FromBool: the double of a currency amount (value / 10,000) and of a
// VARIANT_BOOL (VARIANT_TRUE gives -1.0). S_OK; E_POINTER for a null output.
HRESULT VarR8FromCy(CY value, double* out);
HRESULT VarR8FromBool(VARIANT_BOOL value, double* out);
