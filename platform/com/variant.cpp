#include "platform/com/variant.h"

#include <cstring>

#include "platform/com/safearray.h"
#include "platform/com/unknown.h"

namespace {

// A base type that a VARIANT may hold by value (VT_VARIANT only by reference or in an array).
bool is_known_base_type(VARTYPE base) {
  switch (base) {
    case VT_EMPTY:
    case VT_NULL:
      return true;
    case VT_VARIANT:
      return false;
    default:
      return variant_type_size(base) != 0;
  }
}

}  // namespace

std::uint32_t variant_type_size(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
      return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
      return sizeof(void*);
    case VT_VARIANT:
      return sizeof(VARIANT);
    default:
      return 0;
  }
}

/* VariantInit: contract as the platform's. */
void VariantInit(VARIANT* v) {
  if (v != nullptr) v->vt = VT_EMPTY;
}

/* VariantClear: contract as the platform's; unknown tags fail with DISP_E_BADVARTYPE. */
HRESULT VariantClear(VARIANT* v) {
  if (v == nullptr) return E_INVALIDARG;
  const VARTYPE base = v->vt & VT_TYPEMASK;
  const bool indirect = (v->vt & (VT_BYREF | VT_ARRAY)) != 0;
  if (!is_known_base_type(base) && !(base == VT_VARIANT && indirect)) return DISP_E_BADVARTYPE;
  if ((v->vt & VT_BYREF) == 0) {
    if ((v->vt & VT_ARRAY) != 0) {
      const HRESULT destroyed = SafeArrayDestroy(v->parray);
      if (FAILED(destroyed)) return destroyed;
    } else if (v->vt == VT_BSTR) {
      SysFreeString(v->bstrVal);
    } else if (v->vt == VT_UNKNOWN || v->vt == VT_DISPATCH) {
      if (v->punkVal != nullptr) v->punkVal->Release();
    }
  }
  v->vt = VT_EMPTY;
  v->llVal = 0;
  return S_OK;
}

/* VariantCopy: contract as the platform's; copying onto itself is a no-op. */
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
  if (dest == nullptr || src == nullptr) return E_INVALIDARG;
  if (dest == src) return S_OK;
  const HRESULT cleared = VariantClear(dest);
  if (FAILED(cleared)) return cleared;
  VARIANT copy = *src;
  if ((src->vt & VT_BYREF) == 0) {
    if ((src->vt & VT_ARRAY) != 0) {
      const HRESULT copied = SafeArrayCopy(src->parray, &copy.parray);
      if (FAILED(copied)) return copied;
    } else if (src->vt == VT_BSTR && src->bstrVal != nullptr) {
      copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
      if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
    } else if ((src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) && src->punkVal != nullptr) {
      src->punkVal->AddRef();
    } else if (!is_known_base_type(src->vt)) {
      return DISP_E_BADVARTYPE;
    }
  }
  *dest = copy;
  return S_OK;
}

/* VariantCopyInd: contract as the platform's. */
HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src) {
  if (dest == nullptr || src == nullptr) return E_INVALIDARG;
  if ((src->vt & VT_BYREF) == 0) return VariantCopy(dest, src);
  if (src->byref == nullptr) return E_INVALIDARG;
  const VARTYPE target = static_cast<VARTYPE>(src->vt & ~VT_BYREF);
  if (target == VT_VARIANT) return VariantCopyInd(dest, src->pvarVal);
  VARIANT value{};
  value.vt = target;
  if ((target & VT_ARRAY) != 0) {
    value.parray = *src->pparray;
  } else {
    const std::uint32_t width = variant_type_size(target);
    if (width == 0 || width > 8) return DISP_E_BADVARTYPE;
    std::memcpy(&value.llVal, src->byref, width);
  }
  VARIANT copy;
  VariantInit(&copy);
  const HRESULT copied = VariantCopy(&copy, &value);  // value is borrowed; copy owns
  if (FAILED(copied)) return copied;
  VariantClear(dest);
  *dest = copy;
  return S_OK;
}

/* VarR8FromCy / VarR8FromBool: contracts as the platform's. */
HRESULT VarR8FromCy(CY value, double* out) {
  if (out == nullptr) return E_POINTER;
  *out = static_cast<double>(value.int64) / 10000.0;
  return S_OK;
}

HRESULT VarR8FromBool(VARIANT_BOOL value, double* out) {
  if (out == nullptr) return E_POINTER;
  *out = static_cast<double>(value);
  return S_OK;
}
