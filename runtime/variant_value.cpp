#include "runtime/variant_value.h"

#include <cstring>

#include "platform/com/safearray.h"
#include "platform/com/unknown.h"
#include "runtime/automation_object.h"
#include "runtime/text_blocks.h"
#include "runtime/wide_text.h"

namespace {

// The runtime's logical words.
constexpr const char* kTrueWord = "真";
constexpr const char* kFalseWord = "假";

SAFEARRAY* array_of(const VARIANT& v) {
  if ((v.vt & VT_BYREF) == 0) return v.parray;
  return v.pparray != nullptr ? *v.pparray : nullptr;
}

// The storage position of element `index` (1-based; omitted or below 1 means the first). Empty
// when it lies past the last element, which also covers every index of an empty array.
std::optional<std::uint64_t> element_position(const SAFEARRAY& array,
                                              std::optional<std::int32_t> index) {
  const std::uint64_t total = safe_array_total(&array);
  if (index && *index > 0 && static_cast<std::uint64_t>(*index) > total) return std::nullopt;
  const std::uint64_t position = index && *index > 1 ? static_cast<std::uint64_t>(*index - 1) : 0;
  if (position >= total) return std::nullopt;
  return position;
}

// The VARIANT type of the elements of a runtime array of `element`; VT_EMPTY when there is none.
VARTYPE array_element_type(TypeCode element) {
  switch (element) {
    case TypeCode::byte_set:
    case TypeCode::byte:
      return VT_UI1;
    case TypeCode::logical:
      return VT_BOOL;
    case TypeCode::date_time:
      return VT_DATE;
    case TypeCode::text:
      return VT_BSTR;
    case TypeCode::dword:
      return VT_UI4;
    case TypeCode::short_int:
      return VT_I2;
    case TypeCode::integer:
      return VT_I4;
    case TypeCode::long_int:
      return VT_I8;
    case TypeCode::float32:
      return VT_R4;
    case TypeCode::float64:
      return VT_R8;
    default:
      return VT_EMPTY;
  }
}

// Copies the runtime elements into the array data, converting logicals and texts.
void fill_elements(TypeCode element, VARTYPE vt, const ArrayElements& from, void* data) {
  const std::uint32_t source_width = element == TypeCode::byte_set ? 1 : element_width(element);
  const std::uint32_t target_width = variant_type_size(vt);
  auto* to = static_cast<std::uint8_t*>(data);
  for (std::uint32_t i = 0; i < from.count; ++i) {
    const std::uint8_t* source = from.start + std::size_t{i} * source_width;
    std::uint8_t* target = to + std::size_t{i} * target_width;
    if (vt == VT_BSTR) {
      const char* text;
      std::memcpy(&text, source, sizeof text);
      const BSTR wide = ansi_to_wide(text).release();
      std::memcpy(target, &wide, sizeof wide);
    } else if (vt == VT_BOOL) {
      std::int32_t logical;
      std::memcpy(&logical, source, sizeof logical);
      const VARIANT_BOOL value = logical != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      std::memcpy(target, &value, sizeof value);
    } else {
      std::memcpy(target, source, target_width);
    }
  }
}

// Frees what an array element of type `vt` owns before it is overwritten.
void release_element(VARTYPE vt, std::uint8_t* element) {
  if (vt == VT_BSTR) {
    BSTR text;
    std::memcpy(&text, element, sizeof text);
    SysFreeString(text);
  } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    IUnknown* object;
    std::memcpy(&object, element, sizeof object);
    if (object != nullptr) object->Release();
  }
}

// Moves `*value` (already of type `vt`, or a VARIANT for VT_VARIANT arrays) into element
// `position` of `array`. False when the data cannot be reached; `*value` is then still owned.
bool store_element(SAFEARRAY* array, VARTYPE vt, std::uint64_t position, VARIANT* value) {
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) return false;
  auto* element = static_cast<std::uint8_t*>(data) + position * array->cbElements;
  if (vt == VT_VARIANT) {
    VariantClear(reinterpret_cast<VARIANT*>(element));
    std::memcpy(element, value, sizeof(VARIANT));
  } else {
    release_element(vt, element);
    std::memcpy(element, &value->llVal, array->cbElements);
  }
  SafeArrayUnaccessData(array);
  return true;
}

bool assign_element(VARIANT* v, const TypedArg& value, std::optional<std::int32_t> index) {
  SAFEARRAY* array = array_of(*v);
  if (array == nullptr) return false;
  const std::optional<std::uint64_t> position = element_position(*array, index);
  if (!position) return false;
  VARIANT temporary;
  VariantInit(&temporary);
  if (!value_to_variant(&temporary, value)) return false;
  const VARTYPE vt = v->vt & VT_TYPEMASK;
  bool stored = false;
  if (vt == VT_VARIANT || array->cbElements <= 8) {
    const bool fits = vt == VT_VARIANT || temporary.vt == vt ||
                      SUCCEEDED(VariantChangeType(&temporary, &temporary, 0, vt));
    stored = fits && store_element(array, vt, *position, &temporary);
  }
  if (!stored) VariantClear(&temporary);
  return stored;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// VariantValue

VariantValue::VariantValue() : VariantValue(Empty{}) {
  block_->vt = VT_I4;
  block_->lVal = 0;
}

VariantValue::VariantValue(Empty) : block_(static_cast<VARIANT*>(mem_alloc(sizeof(VARIANT)))) {}

VariantValue VariantValue::empty() {
  return VariantValue(Empty{});
}

VariantValue& VariantValue::operator=(VariantValue&& other) noexcept {
  if (this != &other) {
    VariantValue old(std::move(*this));
    block_ = std::exchange(other.block_, nullptr);
  }
  return *this;
}

VariantValue::~VariantValue() {
  if (block_ == nullptr) return;
  VariantClear(block_);
  mem_free(block_);
}

// ---------------------------------------------------------------------------------------------
// Commands

void variant_copy(VARIANT* target, const VARIANT* source) {
  if (target == nullptr || target == source) return;
  VariantClear(target);
  if (source != nullptr) VariantCopy(target, source);
}

void variant_clear(VARIANT* v) {
  if (v == nullptr) return;
  VariantClear(v);
  VariantInit(v);
}

std::optional<VARIANT> variant_element(const VARIANT& v, std::optional<std::int32_t> index) {
  if ((v.vt & VT_ARRAY) == 0) return v;
  SAFEARRAY* array = array_of(v);
  if (array == nullptr) return std::nullopt;
  const std::optional<std::uint64_t> position = element_position(*array, index);
  const VARTYPE vt = v.vt & VT_TYPEMASK;
  if (!position || (vt != VT_VARIANT && array->cbElements > 8)) return std::nullopt;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) return std::nullopt;
  const auto* at = static_cast<const std::uint8_t*>(data) + *position * array->cbElements;
  std::optional<VARIANT> element;
  if (vt == VT_VARIANT) {
    const auto* held = reinterpret_cast<const VARIANT*>(at);
    if (held->vt != (VT_BYREF | VT_VARIANT)) {
      element = *held;
    } else if (held->pvarVal != nullptr) {
      element = *held->pvarVal;
    }
  } else {
    VARIANT view{};
    view.vt = vt;
    std::memcpy(&view.llVal, at, array->cbElements);
    element = view;
  }
  SafeArrayUnaccessData(array);
  return element;
}

Text variant_to_text(const VARIANT* v, std::optional<std::int32_t> index) {
  if (v == nullptr) return Text();
  const std::optional<VARIANT> element = variant_element(*v, index);
  if (!element) return Text();
  if (element->vt == VT_BOOL) return text_copy(element->boolVal != 0 ? kTrueWord : kFalseWord);
  if (element->vt == VT_BSTR) return wide_to_ansi(element->bstrVal);
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeType(&text, &*element, 0, VT_BSTR))) return Text();
  Text converted = wide_to_ansi(text.bstrVal);
  VariantClear(&text);
  return converted;
}

bool value_to_variant(VARIANT* v, const TypedArg& value) {
  VARIANT made{};
  switch (value.type) {
    case TypeCode::object: {
      const auto* holder = value.pointer_as<AutomationObject::Block>();
      made.vt = VT_UNKNOWN;
      made.punkVal = holder != nullptr ? holder->iface : nullptr;
      if (made.punkVal != nullptr) made.punkVal->AddRef();
      break;
    }
    case TypeCode::variant:
      if (FAILED(VariantCopy(&made, value.pointer_as<const VARIANT>()))) return false;
      break;
    case TypeCode::logical:
      made.vt = VT_BOOL;
      made.boolVal = value.word1() != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case TypeCode::date_time:
      made.vt = VT_DATE;
      made.date = value.value.real;
      break;
    case TypeCode::text:
      made.vt = VT_BSTR;
      made.bstrVal = ansi_to_wide(value.pointer_as<const char>()).release();
      break;
    case TypeCode::dword:
      made.vt = VT_UI4;
      made.ulVal = value.word1();
      break;
    case TypeCode::byte:
      made.vt = VT_UI1;
      made.bVal = static_cast<std::uint8_t>(value.word1());
      break;
    case TypeCode::short_int:
      made.vt = VT_I2;
      made.iVal = static_cast<std::int16_t>(value.word1());
      break;
    case TypeCode::integer:
      made.vt = VT_I4;
      made.lVal = value.int32();
      break;
    case TypeCode::long_int:
      made.vt = VT_I8;
      made.llVal = value.value.int64;
      break;
    case TypeCode::float32:
      made.vt = VT_R4;
      std::memcpy(&made.fltVal, &value.value, 4);
      break;
    case TypeCode::float64:
      made.vt = VT_R8;
      made.dblVal = value.value.real;
      break;
    default:
      return false;
  }
  VariantClear(v);
  *v = made;
  return true;
}

bool array_to_variant(VARIANT* v, const TypedArg& value) {
  // A ValueArray of byte sets holds block pointers, which have no element form; only a byte set
  // itself reads as bytes.
  if (value.type == array_of(TypeCode::byte_set)) return false;
  const TypeCode element = base_type(value.type);
  const VARTYPE vt = array_element_type(element);
  const ArrayElements elements = array_elements(value.value.pointer);
  if (vt == VT_EMPTY || elements.start == nullptr || elements.count == 0) return false;
  SAFEARRAY* array = SafeArrayCreateVector(vt, 0, elements.count);
  if (array == nullptr) return false;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) {
    SafeArrayDestroy(array);
    return false;
  }
  fill_elements(element, vt, elements, data);
  SafeArrayUnaccessData(array);
  VariantClear(v);
  v->vt = VT_ARRAY | vt;
  v->parray = array;
  return true;
}

bool variant_assign(TypedArgs args) {
  if (args.size() < 2) return false;
  auto* v = is_array_or_reference(args[0].type) ? *static_cast<VARIANT**>(args[0].value.pointer)
                                                : args[0].pointer_as<VARIANT>();
  if (v == nullptr) return false;
  const TypedArg& value = args[1];
  std::optional<std::int32_t> index;
  if (args.size() > 2 && !args[2].omitted()) index = args[2].int32();
  if (value.omitted()) {
    variant_clear(v);
    return true;
  }
  if (is_array_or_reference(value.type) || value.type == TypeCode::byte_set) {
    return array_to_variant(v, value);
  }
  if ((v->vt & VT_ARRAY) == 0) return value_to_variant(v, value);
  return assign_element(v, value, index);
}

bool variant_assign(VariantValue& v, const TypedArg& value, std::optional<std::int32_t> index) {
  const TypedArg args[3] = {v.arg(), value, index ? TypedArg::integer(*index) : TypedArg{}};
  return variant_assign(args);
}
