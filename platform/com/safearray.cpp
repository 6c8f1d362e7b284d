#include "platform/com/safearray.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/com/unknown.h"

namespace {

// The hidden header before each descriptor: its element type.
struct alignas(8) ArrayPrefix {
  VARTYPE vt;
};
constexpr std::size_t kPrefixSize = sizeof(ArrayPrefix);

std::size_t descriptor_size(std::uint32_t dims) {
  return sizeof(SAFEARRAY) + (dims - 1) * sizeof(SAFEARRAYBOUND);
}

ArrayPrefix* prefix_of(const SAFEARRAY* array) {
  return reinterpret_cast<ArrayPrefix*>(reinterpret_cast<char*>(const_cast<SAFEARRAY*>(array)) -
                                        kPrefixSize);
}

std::uint16_t features_of(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR:
      return FADF_BSTR | FADF_HAVEVARTYPE;
    case VT_UNKNOWN:
      return FADF_UNKNOWN | FADF_HAVEVARTYPE;
    case VT_DISPATCH:
      return FADF_DISPATCH | FADF_HAVEVARTYPE;
    case VT_VARIANT:
      return FADF_VARIANT | FADF_HAVEVARTYPE;
    default:
      return FADF_HAVEVARTYPE;
  }
}

// Releases what element `index` owns and zeroes it.
void clear_element(SAFEARRAY* array, VARTYPE vt, std::uint64_t index) {
  char* at = static_cast<char*>(array->pvData) + index * array->cbElements;
  switch (vt) {
    case VT_BSTR: {
      BSTR text;
      std::memcpy(&text, at, sizeof text);
      SysFreeString(text);
      break;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH: {
      IUnknown* object;
      std::memcpy(&object, at, sizeof object);
      if (object != nullptr) object->Release();
      break;
    }
    case VT_VARIANT:
      VariantClear(reinterpret_cast<VARIANT*>(at));
      break;
    default:
      break;
  }
  std::memset(at, 0, array->cbElements);
}

// Makes element `index` of `copy` a deep copy of the same element of `array` (whose data `copy`
// already holds bitwise). False when a VARIANT element cannot be copied.
bool deepen_element(const SAFEARRAY* array, SAFEARRAY* copy, VARTYPE vt, std::uint64_t index) {
  const std::size_t offset = index * array->cbElements;
  char* at = static_cast<char*>(copy->pvData) + offset;
  switch (vt) {
    case VT_BSTR: {
      BSTR text;
      std::memcpy(&text, at, sizeof text);
      BSTR duplicate = text ? SysAllocStringLen(text, SysStringLen(text)) : nullptr;
      std::memcpy(at, &duplicate, sizeof duplicate);
      return text == nullptr || duplicate != nullptr;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH: {
      IUnknown* object;
      std::memcpy(&object, at, sizeof object);
      if (object != nullptr) object->AddRef();
      return true;
    }
    case VT_VARIANT: {
      auto* target = reinterpret_cast<VARIANT*>(at);
      VariantInit(target);
      const auto* source =
          reinterpret_cast<const VARIANT*>(static_cast<char*>(array->pvData) + offset);
      return SUCCEEDED(VariantCopy(target, source));
    }
    default:
      return true;
  }
}

}  // namespace

/* SafeArrayCreate: contract as the platform's; bounds are stored in the order given. */
SAFEARRAY* SafeArrayCreate(VARTYPE vt, std::uint32_t dims, const SAFEARRAYBOUND* bounds) {
  if (dims == 0 || dims > 0xFFFF || bounds == nullptr) return nullptr;
  const std::uint32_t width = variant_type_size(vt);
  if (width == 0 || (vt & (VT_ARRAY | VT_BYREF)) != 0) return nullptr;
  std::uint64_t total = 1;
  for (std::uint32_t d = 0; d < dims; ++d) {
    total *= bounds[d].cElements;
    if (total > 0x7FFFFFFF) return nullptr;
  }
  const std::uint64_t data_size = total * width;
  if (data_size > 0x7FFFFFFF) return nullptr;
  auto* block = static_cast<char*>(std::calloc(1, kPrefixSize + descriptor_size(dims)));
  if (block == nullptr) return nullptr;
  void* data = std::calloc(1, data_size == 0 ? 1 : static_cast<std::size_t>(data_size));
  if (data == nullptr) {
    std::free(block);
    return nullptr;
  }
  reinterpret_cast<ArrayPrefix*>(block)->vt = vt;
  auto* array = reinterpret_cast<SAFEARRAY*>(block + kPrefixSize);
  array->cDims = static_cast<std::uint16_t>(dims);
  array->fFeatures = features_of(vt);
  array->cbElements = width;
  array->pvData = data;
  std::memcpy(array->rgsabound, bounds, dims * sizeof(SAFEARRAYBOUND));
  return array;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, std::int32_t lower_bound, std::uint32_t count) {
  const SAFEARRAYBOUND bound{count, lower_bound};
  return SafeArrayCreate(vt, 1, &bound);
}

std::uint64_t safe_array_total(const SAFEARRAY* array) {
  if (array == nullptr) return 0;
  std::uint64_t total = 1;
  for (std::uint32_t d = 0; d < array->cDims; ++d)
    total *= array->rgsabound[d].cElements;
  return total;
}

/* SafeArrayDestroy: contract as the platform's. */
HRESULT SafeArrayDestroy(SAFEARRAY* array) {
  if (array == nullptr) return S_OK;
  if (array->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  const VARTYPE vt = prefix_of(array)->vt;
  const std::uint64_t total = safe_array_total(array);
  for (std::uint64_t i = 0; i < total; ++i)
    clear_element(array, vt, i);
  std::free(array->pvData);
  std::free(prefix_of(array));
  return S_OK;
}

/* SafeArrayCopy: contract as the platform's. */
HRESULT SafeArrayCopy(SAFEARRAY* array, SAFEARRAY** copy) {
  if (copy == nullptr) return E_INVALIDARG;
  *copy = nullptr;
  if (array == nullptr) return S_OK;
  const VARTYPE vt = prefix_of(array)->vt;
  SAFEARRAY* result = SafeArrayCreate(vt, array->cDims, array->rgsabound);
  if (result == nullptr) return E_OUTOFMEMORY;
  const std::uint64_t total = safe_array_total(array);
  std::memcpy(result->pvData, array->pvData, static_cast<std::size_t>(total * array->cbElements));
  for (std::uint64_t i = 0; i < total; ++i) {
    if (deepen_element(array, result, vt, i)) continue;
    // Elements past the failed one still hold borrowed bits: zero them before destroying.
    const std::size_t done = static_cast<std::size_t>((i + 1) * array->cbElements);
    std::memset(static_cast<char*>(result->pvData) + done, 0,
                static_cast<std::size_t>(total * array->cbElements) - done);
    SafeArrayDestroy(result);
    return E_OUTOFMEMORY;
  }
  *copy = result;
  return S_OK;
}

/* SafeArrayAccessData / SafeArrayUnaccessData: contract as the platform's. */
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
  if (array == nullptr || data == nullptr) return E_INVALIDARG;
  ++array->cLocks;
  *data = array->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
  if (array == nullptr) return E_INVALIDARG;
  if (array->cLocks == 0) return E_UNEXPECTED;
  --array->cLocks;
  return S_OK;
}

std::uint32_t SafeArrayGetDim(SAFEARRAY* array) {
  return array == nullptr ? 0 : array->cDims;
}

std::uint32_t SafeArrayGetElemsize(SAFEARRAY* array) {
  return array == nullptr ? 0 : array->cbElements;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, std::uint32_t dim, std::int32_t* bound) {
  if (array == nullptr || bound == nullptr) return E_INVALIDARG;
  if (dim < 1 || dim > array->cDims) return DISP_E_BADINDEX;
  *bound = array->rgsabound[dim - 1].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, std::uint32_t dim, std::int32_t* bound) {
  if (array == nullptr || bound == nullptr) return E_INVALIDARG;
  if (dim < 1 || dim > array->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = array->rgsabound[dim - 1];
  *bound = static_cast<std::int32_t>(static_cast<std::int64_t>(b.lLbound) + b.cElements - 1);
  return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* vt) {
  if (array == nullptr || vt == nullptr) return E_INVALIDARG;
  *vt = prefix_of(array)->vt;
  return S_OK;
}
