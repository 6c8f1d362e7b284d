// SAFEARRAY: the self-describing arrays of OLE Automation.
//
// The descriptor keeps the platform's field layout; the element type lives in a hidden word before
// it (as with the platform's FADF_HAVEVARTYPE arrays), and the data is a separate block. Bounds are
// kept in the order they were given: SafeArrayGetLBound(array, 1) reads rgsabound[0]. Elements
// that are BSTRs, interfaces or VARIANTs are owned by the array.
#pragma once

#include <cstdint>

#include "platform/com/variant.h"

struct SAFEARRAYBOUND {
  std::uint32_t cElements;
  std::int32_t lLbound;
};

struct SAFEARRAY {
  std::uint16_t cDims;
  std::uint16_t fFeatures;
  std::uint32_t cbElements;
  std::uint32_t cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];
};

inline constexpr std::uint16_t FADF_BSTR = 0x100;
inline constexpr std::uint16_t FADF_UNKNOWN = 0x200;
inline constexpr std::uint16_t FADF_DISPATCH = 0x400;
inline constexpr std::uint16_t FADF_VARIANT = 0x800;
inline constexpr std::uint16_t FADF_HAVEVARTYPE = 0x80;

// SafeArrayCreate: a new array of `dims` dimensions (1 or more) with zero-filled elements of type
// `vt`. Null for no dimensions, a null `bounds`, an element type without a fixed width (VT_EMPTY,
// VT_NULL, VT_DECIMAL, ...) or a size that overflows.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, std::uint32_t dims, const SAFEARRAYBOUND* bounds);
// SafeArrayCreateVector: a one-dimensional array of `count` elements from `lower_bound`.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, std::int32_t lower_bound, std::uint32_t count);

// SafeArrayDestroy: frees the elements it owns, the data and the descriptor. S_OK for null too;
// DISP_E_ARRAYISLOCKED while the data is accessed, leaving the array alone.
HRESULT SafeArrayDestroy(SAFEARRAY* array);

// SafeArrayCopy: a deep copy (new BSTRs, copied VARIANTs, added references) into `*copy`; null
// copies as null. E_INVALIDARG for a null `copy`; E_OUTOFMEMORY when it cannot be made.
HRESULT SafeArrayCopy(SAFEARRAY* array, SAFEARRAY** copy);

// SafeArrayAccessData / SafeArrayUnaccessData: lock the array and give its data pointer / unlock
// it. E_INVALIDARG for null arguments; E_UNEXPECTED when unlocking an array that is not locked.
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);

// SafeArrayGetDim: the dimension count; 0 for null.
std::uint32_t SafeArrayGetDim(SAFEARRAY* array);
// SafeArrayGetElemsize: the width of one element in bytes; 0 for null.
std::uint32_t SafeArrayGetElemsize(SAFEARRAY* array);
// SafeArrayGetLBound / SafeArrayGetUBound: the bounds of dimension `dim` (1-based).
// DISP_E_BADINDEX for a dimension out of range; E_INVALIDARG for null arguments. An empty
// dimension has an upper bound one below its lower bound.
HRESULT SafeArrayGetLBound(SAFEARRAY* array, std::uint32_t dim, std::int32_t* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* array, std::uint32_t dim, std::int32_t* bound);
// SafeArrayGetVartype: the element type. E_INVALIDARG for null arguments.
HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* vt);

// The element count over all dimensions; 0 for null.
[[nodiscard]] std::uint64_t safe_array_total(const SAFEARRAY* array);
