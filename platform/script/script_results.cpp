#include "platform/script/script_results.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

#include "platform/script/cesu8.h"

namespace {

bool is_int32(double number) {
  return number >= std::numeric_limits<std::int32_t>::min() &&
         number <= std::numeric_limits<std::int32_t>::max() && number == std::trunc(number);
}

HRESULT store_number(double number, VARIANT* result) {
  if (is_int32(number)) {
    result->vt = VT_I4;
    result->lVal = static_cast<std::int32_t>(number);
  } else {
    result->vt = VT_R8;
    result->dblVal = number;
  }
  return S_OK;
}

HRESULT store_string(std::string_view cesu8, VARIANT* result) {
  const std::size_t units = utf16_length_of_cesu8(cesu8);
  if (units > std::numeric_limits<std::uint32_t>::max() / sizeof(char16_t)) return E_OUTOFMEMORY;
  BSTR text = SysAllocStringLen(nullptr, static_cast<std::uint32_t>(units));
  if (text == nullptr) return E_OUTOFMEMORY;
  utf16_from_cesu8(cesu8, text);
  result->vt = VT_BSTR;
  result->bstrVal = text;
  return S_OK;
}

}  // namespace

HRESULT script_error_code(duk_context* context, duk_idx_t index, CallEnd end) {
  if (end == CallEnd::timed_out) return kScriptTimedOut;
  if (end == CallEnd::out_of_memory) return kScriptOutOfMemory;
  switch (duk_get_error_code(context, index)) {
    case DUK_ERR_SYNTAX_ERROR:
      return kScriptSyntaxError;
    case DUK_ERR_TYPE_ERROR:
      return kScriptTypeError;
    case DUK_ERR_REFERENCE_ERROR:
      return kScriptReferenceError;
    case DUK_ERR_RANGE_ERROR:
      return kScriptRangeError;
    default:
      return kScriptUncaughtException;
  }
}

HRESULT script_value_to_variant(duk_context* context, duk_idx_t index, VARIANT* result) {
  VariantClear(result);
  switch (duk_get_type(context, index)) {
    case DUK_TYPE_NULL:
      result->vt = VT_NULL;
      return S_OK;
    case DUK_TYPE_BOOLEAN:
      result->vt = VT_BOOL;
      result->boolVal = duk_get_boolean(context, index) ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case DUK_TYPE_NUMBER:
      return store_number(duk_get_number(context, index), result);
    case DUK_TYPE_STRING: {
      if (duk_is_symbol(context, index)) return S_OK;
      duk_size_t length = 0;
      const char* bytes = duk_get_lstring(context, index, &length);
      return store_string({bytes, length}, result);
    }
    default:
      return S_OK;  // undefined, objects and the engine's other types
  }
}
