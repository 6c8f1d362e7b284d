#include "runtime/invoke_member.h"

#include <cstring>
#include <vector>

#include "platform/com/safearray.h"
#include "platform/com/type_info.h"
#include "runtime/automation_object.h"
#include "runtime/wide_text.h"

namespace {

constexpr std::uint32_t kInlineArguments = 8;

// Per-argument state beside its VARIANT, first argument first.
struct ArgumentSlot {
  bool declared_by_reference = false;
  BSTR text = nullptr;                   // the BSTR a by-reference text points at
  VARIANT_BOOL logical = VARIANT_FALSE;  // the VARIANT_BOOL a by-reference logical points at
};

// The VARIANTs (last-first, as Invoke takes them) and the slots (first-first) of one call.
class CallArguments {
 public:
  explicit CallArguments(std::uint32_t count) : count_(count) {
    if (count > kInlineArguments) {
      heap_variants_.resize(count);
      heap_slots_.resize(count);
    }
    for (std::uint32_t i = 0; i < count; ++i) {
      VariantInit(variants() + i);
      variants()[i].llVal = 0;
      slot(i) = ArgumentSlot{};
    }
  }
  [[nodiscard]] VARIANT* variants() {
    return count_ > kInlineArguments ? heap_variants_.data() : inline_variants_;
  }
  // The VARIANT of argument `index` (0 = first).
  [[nodiscard]] VARIANT& variant(std::uint32_t index) { return variants()[count_ - 1 - index]; }
  [[nodiscard]] ArgumentSlot& slot(std::uint32_t index) {
    return count_ > kInlineArguments ? heap_slots_[index] : inline_slots_[index];
  }

 private:
  std::uint32_t count_;
  VARIANT inline_variants_[kInlineArguments];
  ArgumentSlot inline_slots_[kInlineArguments];
  std::vector<VARIANT> heap_variants_;
  std::vector<ArgumentSlot> heap_slots_;
};

bool declares_by_reference(const TYPEDESC& type) {
  return type.vt == VT_PTR || (type.vt & VT_BYREF) != 0;
}

void mark_method_parameters(ITypeInfo* info, const TYPEATTR& attr, DISPID id, std::uint32_t count,
                            CallArguments& arguments) {
  for (std::uint32_t f = 0; f < attr.cFuncs; ++f) {
    FUNCDESC* desc = nullptr;
    if (FAILED(info->GetFuncDesc(f, &desc)) || desc == nullptr) continue;
    const bool match = desc->memid == id;
    if (match) {
      const std::uint32_t declared =
          desc->cParams > 0 ? static_cast<std::uint32_t>(desc->cParams) : 0;
      for (std::uint32_t k = 0; k < declared && k < count; ++k) {
        if (declares_by_reference(desc->lprgelemdescParam[k].tdesc)) {
          arguments.slot(k).declared_by_reference = true;
        }
      }
    }
    info->ReleaseFuncDesc(desc);
    if (match) return;
  }
}

void mark_property_value(ITypeInfo* info, const TYPEATTR& attr, DISPID id,
                         CallArguments& arguments) {
  for (std::uint32_t v = 0; v < attr.cVars; ++v) {
    VARDESC* desc = nullptr;
    if (FAILED(info->GetVarDesc(v, &desc)) || desc == nullptr) continue;
    const bool match = desc->memid == id;
    if (match && declares_by_reference(desc->elemdescVar.tdesc)) {
      arguments.slot(0).declared_by_reference = true;
    }
    info->ReleaseVarDesc(desc);
    if (match) return;
  }
}

// Sets the declared-by-reference flags from the instance's type description, when it has one.
void mark_declared_parameters(IDispatch* dispatch, DISPID id, std::uint16_t flags,
                              std::uint32_t count, CallArguments& arguments) {
  ITypeInfo* info = nullptr;
  if (FAILED(dispatch->GetTypeInfo(0, 0, &info)) || info == nullptr) return;
  TYPEATTR* attr = nullptr;
  if (SUCCEEDED(info->GetTypeAttr(&attr)) && attr != nullptr) {
    if ((flags & DISPATCH_METHOD) != 0) {
      mark_method_parameters(info, *attr, id, count, arguments);
    } else {
      mark_property_value(info, *attr, id, arguments);
    }
    info->ReleaseTypeAttr(attr);
  }
  info->Release();
}

template <class T>
T read_variable(const void* address) {
  T value;
  std::memcpy(&value, address, sizeof value);
  return value;
}

// A number or date: by value, by reference (pointing at the caller's variable), or by value from
// the variable when the member does not declare the parameter by reference.
template <class T>
void put_scalar(const TypedArg& arg, bool by_reference, bool declared, VARTYPE vt, T by_value,
                T* VARIANT::*reference_member, VARIANT& v) {
  auto* variable = static_cast<T*>(arg.value.pointer);
  if (!by_reference) {
    v.vt = vt;
    std::memcpy(&v.llVal, &by_value, sizeof by_value);
  } else if (declared) {
    v.vt = VT_BYREF | vt;
    v.*reference_member = variable;
  } else {
    v.vt = vt;
    const T value = read_variable<T>(variable);
    std::memcpy(&v.llVal, &value, sizeof value);
  }
}

SAFEARRAY* byte_array_of(const void* byte_set) {
  if (byte_set == nullptr) return nullptr;
  const std::uint32_t length = ByteSet::length_of(byte_set);
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, length);
  if (array == nullptr) return nullptr;
  void* data = nullptr;
  if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
    if (length > 0) std::memcpy(data, static_cast<const std::uint8_t*>(byte_set) + 8, length);
    SafeArrayUnaccessData(array);
  }
  return array;
}

void convert_object(const TypedArg& arg, bool by_reference, bool declared, VARIANT& v) {
  auto* holder = by_reference ? read_variable<AutomationObject::Block*>(arg.value.pointer)
                              : arg.pointer_as<AutomationObject::Block>();
  if (holder == nullptr) {
    v.vt = VT_DISPATCH;
    v.pdispVal = nullptr;
  } else if (declared) {
    // The callee may store a new instance through this pointer straight into the holder.
    // Interfaces use single inheritance, so the IUnknown field is also an IDispatch slot.
    v.vt = VT_BYREF | VT_DISPATCH;
    v.ppdispVal = reinterpret_cast<IDispatch**>(&holder->iface);
  } else {
    v.vt = VT_DISPATCH;
    v.pdispVal = reinterpret_cast<IDispatch*>(holder->iface);
  }
}

void convert_variant(const TypedArg& arg, bool by_reference, bool declared, VARIANT& v) {
  auto* variable =
      by_reference ? read_variable<VARIANT*>(arg.value.pointer) : arg.pointer_as<VARIANT>();
  if (variable == nullptr) return;  // stays VT_EMPTY
  if (by_reference || declared) {
    v.vt = VT_BYREF | VT_VARIANT;
    v.pvarVal = variable;
  } else {
    v = *variable;  // borrowed: neither cleared nor freed after the call
  }
}

void convert_text(const TypedArg& arg, bool by_reference, bool declared, VARIANT& v,
                  ArgumentSlot& slot) {
  if (!by_reference) {
    v.vt = VT_BSTR;
    v.bstrVal = ansi_to_wide(arg.pointer_as<const char>()).release();
    return;
  }
  const char* text = read_variable<const char*>(arg.value.pointer);
  if (declared) {
    slot.text = text != nullptr && *text != '\0' ? ansi_to_wide(text).release() : nullptr;
    v.vt = VT_BYREF | VT_BSTR;
    v.pbstrVal = &slot.text;
  } else {
    v.vt = VT_BSTR;
    v.bstrVal = ansi_to_wide(text).release();
  }
}

void convert_logical(const TypedArg& arg, bool by_reference, bool declared, VARIANT& v,
                     ArgumentSlot& slot) {
  const std::int32_t value =
      by_reference ? read_variable<std::int32_t>(arg.value.pointer) : arg.int32();
  const VARIANT_BOOL logical = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  if (by_reference && declared) {
    slot.logical = logical;
    v.vt = VT_BYREF | VT_BOOL;
    v.pboolVal = &slot.logical;
  } else {
    v.vt = VT_BOOL;
    v.boolVal = logical;
  }
}

// Converts argument `arg` into `v` (VT_EMPTY on entry) as the conversion table of the bridge says.
void convert_argument(const TypedArg& arg, ArgumentSlot& slot, VARIANT& v) {
  const bool by_reference = is_array_or_reference(arg.type);
  const bool declared = slot.declared_by_reference;
  if (by_reference && arg.value.pointer == nullptr) return;  // no variable: VT_EMPTY
  const auto& a = arg;
  switch (base_type(arg.type)) {
    case TypeCode::object:
      return convert_object(a, by_reference, declared, v);
    case TypeCode::variant:
      return convert_variant(a, by_reference, declared, v);
    case TypeCode::logical:
      return convert_logical(a, by_reference, declared, v, slot);
    case TypeCode::text:
      return convert_text(a, by_reference, declared, v, slot);
    case TypeCode::byte_set:
      v.vt = VT_ARRAY | VT_UI1;
      v.parray = byte_array_of(by_reference ? read_variable<const void*>(a.value.pointer)
                                            : a.value.pointer);
      return;
    case TypeCode::date_time:
      return put_scalar<double>(a, by_reference, declared, VT_DATE, a.value.real, &VARIANT::pdate,
                                v);
    case TypeCode::float64:
      return put_scalar<double>(a, by_reference, declared, VT_R8, a.value.real, &VARIANT::pdblVal,
                                v);
    case TypeCode::long_int:
      return put_scalar<std::int64_t>(a, by_reference, declared, VT_I8, a.value.int64,
                                      &VARIANT::pllVal, v);
    case TypeCode::float32:
      return put_scalar<float>(a, by_reference, declared, VT_R4, read_variable<float>(&a.value),
                               &VARIANT::pfltVal, v);
    case TypeCode::integer:
      return put_scalar<std::int32_t>(a, by_reference, declared, VT_I4, a.int32(), &VARIANT::plVal,
                                      v);
    case TypeCode::dword:
      return put_scalar<std::uint32_t>(a, by_reference, declared, VT_UI4, a.word1(),
                                       &VARIANT::pulVal, v);
    case TypeCode::short_int:
      return put_scalar<std::int16_t>(a, by_reference, declared, VT_I2,
                                      static_cast<std::int16_t>(a.word1()), &VARIANT::piVal, v);
    case TypeCode::byte:
      return put_scalar<std::uint8_t>(a, by_reference, declared, VT_UI1,
                                      static_cast<std::uint8_t>(a.word1()), &VARIANT::pbVal, v);
    default:
      return;  // omitted or unknown: VT_EMPTY
  }
}

// Releases what convert_argument made, and writes by-reference texts and logicals back.
// A by-value variant is a borrowed bitwise copy of the caller's VARIANT and is left alone, even
// when it holds a BSTR or an array.
void finish_argument(const TypedArg& arg, ArgumentSlot& slot, VARIANT& v) {
  const TypeCode base = base_type(arg.type);
  if (base == TypeCode::text && v.vt == VT_BSTR) {
    SysFreeString(v.bstrVal);
  } else if (base == TypeCode::byte_set && v.vt == (VT_ARRAY | VT_UI1)) {
    SafeArrayDestroy(v.parray);
  } else if (base == TypeCode::text && v.vt == (VT_BYREF | VT_BSTR)) {
    Text updated = wide_to_ansi(slot.text);
    auto** variable = static_cast<char**>(arg.value.pointer);
    mem_free(*variable);
    *variable = updated.release();
    SysFreeString(slot.text);
  } else if (base == TypeCode::logical && v.vt == (VT_BYREF | VT_BOOL)) {
    // The whole 32-bit variable gets the callee's answer (-1 or 0).
    const std::int32_t value = slot.logical != 0 ? -1 : 0;
    std::memcpy(arg.value.pointer, &value, sizeof value);
  }
}

}  // namespace

HRESULT invoke_member(IDispatch* dispatch, DISPID id, std::uint16_t flags, VARIANT* result,
                      std::uint32_t count, TypedArgs args) {
  if (dispatch == nullptr) return E_POINTER;
  if (count > args.size()) return E_INVALIDARG;
  DISPID put_name = DISPID_PROPERTYPUT;
  DISPPARAMS params;
  params.cArgs = count;
  // A write names its value; without a value there is nothing to name.
  if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0 && count > 0) {
    params.cNamedArgs = 1;
    params.rgdispidNamedArgs = &put_name;
  }
  CallArguments arguments(count);
  if (count > 0) {
    mark_declared_parameters(dispatch, id, flags, count, arguments);
    for (std::uint32_t i = 0; i < count; ++i) {
      convert_argument(args[i], arguments.slot(i), arguments.variant(i));
      if (arguments.variant(i).vt == (VT_BYREF | VT_DISPATCH) && flags == DISPATCH_PROPERTYPUT) {
        flags = DISPATCH_PROPERTYPUTREF;
      }
    }
    params.rgvarg = arguments.variants();
  }
  std::uint32_t arg_error = static_cast<std::uint32_t>(-1);
  const HRESULT invoked =
      dispatch->Invoke(id, IID_NULL, 0, flags, &params, result, nullptr, &arg_error);
  for (std::uint32_t i = 0; i < count; ++i) {
    finish_argument(args[i], arguments.slot(i), arguments.variant(i));
  }
  return invoked;
}
