#include "runtime/bridge.h"

#include <vector>

#include "platform/com/class_registry.h"
#include "platform/com/type_library.h"
#include "runtime/invoke_member.h"
#include "runtime/wide_text.h"

namespace {

constexpr std::uint32_t kCreateContext = CLSCTX_ALL;  // in-process, handler, local and remote
constexpr std::uint32_t kCreateContextWithoutRemote = 0x7;

// ---------------------------------------------------------------------------------------------
// object_create steps

// The type-library route: the class named `name` in the library at `path`, created. Null when
// the library does not load or does not name exactly one such class.
IUnknown* create_from_type_library(AutomationObject::Block& holder, BSTR name, const char* path) {
  UniqueBstr wide_path = ansi_to_wide(path);
  ITypeLib* library = nullptr;
  if (wide_path.get() == nullptr || FAILED(LoadTypeLib(wide_path.get(), &library)) ||
      library == nullptr) {
    return nullptr;
  }
  const std::uint32_t hash = LHashValOfNameSys(SYS_WIN32, GetUserDefaultLCID(), name);
  ITypeInfo* info = nullptr;
  MEMBERID id = 0;
  std::uint16_t found = 1;
  IUnknown* instance = nullptr;
  if (SUCCEEDED(library->FindName(name, hash, &info, &id, &found)) && found == 1 && info) {
    void* made = nullptr;
    if (SUCCEEDED(info->CreateInstance(nullptr, IID_IUnknown, &made))) {
      instance = static_cast<IUnknown*>(made);
      if (std::string_view(path).find('\\') != std::string_view::npos) {
        holder.last_result = RegisterTypeLib(library, wide_path.get(), nullptr);
      }
    }
    info->Release();
  }
  library->Release();
  return instance;
}

// The class by ProgID, else by CLSID text; the look-up's code goes to `last_result`.
bool find_class(AutomationObject::Block& holder, BSTR name, CLSID* clsid) {
  holder.last_result = CLSIDFromProgID(name, clsid);
  if (SUCCEEDED(holder.last_result)) return true;
  holder.last_result = CLSIDFromString(name, clsid);
  return SUCCEEDED(holder.last_result);
}

// A new instance; a platform without remote activation refuses the full context with
// E_INVALIDARG, so that one answer is retried without the remote bit.
HRESULT create_instance(const CLSID& clsid, IUnknown** instance) {
  void* made = nullptr;
  HRESULT created = CoCreateInstance(clsid, nullptr, kCreateContext, IID_IUnknown, &made);
  if (created == E_INVALIDARG) {
    created = CoCreateInstance(clsid, nullptr, kCreateContextWithoutRemote, IID_IUnknown, &made);
  }
  *instance = static_cast<IUnknown*>(made);
  return created;
}

// ---------------------------------------------------------------------------------------------
// The member-call algorithm

// Only the single trailing omitted TypedArg is dropped.
std::uint32_t member_argument_count(TypedArgs args) {
  std::uint32_t count = static_cast<std::uint32_t>(args.size()) - 2;
  if (count > 0 && args.back().omitted()) --count;
  return count;
}

HRESULT lookup_member(IDispatch* dispatch, const TypedArg& name, DISPID* id) {
  UniqueBstr wide = ansi_to_wide(name.pointer_as<const char>());
  const OLECHAR* names[1] = {wide.get()};
  return dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
}

// Queries the holder's instance for IDispatch, looks the member up and invokes it, recording each
// step's code in `last_result`. `result` (null for a property write) stays VT_EMPTY on failure.
void run_member_call(TypedArgs args, std::uint16_t flags, VARIANT* result) {
  auto* holder = args.empty() ? nullptr : args[0].pointer_as<AutomationObject::Block>();
  if (holder == nullptr) return;
  if (args.size() < 2) {
    holder->last_result = E_INVALIDARG;
    return;
  }
  if (holder->iface == nullptr) {
    holder->last_result = E_POINTER;
    return;
  }
  void* queried = nullptr;
  holder->last_result = holder->iface->QueryInterface(IID_IDispatch, &queried);
  auto* dispatch = static_cast<IDispatch*>(queried);
  if (holder->last_result != S_OK) {
    if (dispatch != nullptr) dispatch->Release();
    return;
  }
  DISPID id = DISPID_UNKNOWN;
  holder->last_result = lookup_member(dispatch, args[1], &id);
  if (holder->last_result == S_OK) {
    holder->last_result =
        invoke_member(dispatch, id, flags, result, member_argument_count(args), args.subspan(2));
  }
  dispatch->Release();
}

// ---------------------------------------------------------------------------------------------
// Result rules

Text text_rule(const VARIANT& result) {
  return result.vt == VT_BSTR ? wide_to_ansi(result.bstrVal) : Text();
}

double number_rule(const VARIANT& result) {
  double number = 0.0;
  switch (result.vt) {
    case VT_I1:
      return result.cVal;
    case VT_UI1:
      return result.bVal;
    case VT_I2:
      return result.iVal;
    case VT_UI2:
      return result.uiVal;
    case VT_I4:
      return result.lVal;
    case VT_UI4:
      return result.ulVal;
    case VT_R4:
      return result.fltVal;
    case VT_R8:
      return result.dblVal;
    case VT_DATE:
      return result.date;
    case VT_CY:
      VarR8FromCy(result.cyVal, &number);
      return number;
    case VT_BOOL:
      VarR8FromBool(result.boolVal, &number);
      return number;
    default:
      return 0.0;
  }
}

bool logical_rule(const VARIANT& result) {
  return result.vt == VT_BOOL && result.boolVal != 0;
}

AutomationObject object_rule(const VARIANT& result) {
  AutomationObject object;
  IUnknown* instance = nullptr;
  if (result.vt == VT_DISPATCH || result.vt == VT_UNKNOWN) {
    instance = result.punkVal;
  } else if ((result.vt == (VT_BYREF | VT_DISPATCH) || result.vt == (VT_BYREF | VT_UNKNOWN)) &&
             result.ppunkVal != nullptr) {
    instance = *result.ppunkVal;
  }
  if (instance != nullptr) instance->AddRef();
  object.block()->iface = instance;
  return object;
}

template <class Rule>
auto call_with_rule(TypedArgs args, std::uint16_t flags, Rule rule) {
  VARIANT result;
  VariantInit(&result);
  run_member_call(args, flags, &result);
  auto converted = rule(result);
  VariantClear(&result);
  return converted;
}

VariantValue call_into_variant(TypedArgs args, std::uint16_t flags) {
  VariantValue result = VariantValue::empty();
  run_member_call(args, flags, result.get());
  return result;
}

// [holder, name, arguments...], with the single omitted argument when there are none.
std::vector<TypedArg> member_call_args(AutomationObject& holder, const char* name,
                                       MemberArgs args) {
  std::vector<TypedArg> all;
  all.reserve(args.size() + 3);
  all.push_back(holder.arg());
  all.push_back(TypedArg::text(name));
  all.insert(all.end(), args.begin(), args.end());
  if (args.size() == 0) all.push_back(TypedArg{});
  return all;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Holder commands

bool object_create(AutomationObject& holder_object, const char* name, const char* type_library) {
  AutomationObject::Block& holder = *holder_object.block();
  if (holder.iface != nullptr) {
    holder.iface->Release();
    holder.iface = nullptr;
  }
  UniqueBstr wide_name = ansi_to_wide(name);
  if (wide_name.get() == nullptr) {
    holder.last_result = 0;
    return false;
  }
  IUnknown* instance = nullptr;
  if (type_library != nullptr && *type_library != '\0') {
    instance = create_from_type_library(holder, wide_name.get(), type_library);
  }
  if (instance == nullptr) {
    CLSID clsid;
    if (!find_class(holder, wide_name.get(), &clsid)) return false;
    const HRESULT created = create_instance(clsid, &instance);
    if (FAILED(created)) {
      holder.last_result = created;
      return false;
    }
  }
  const HRESULT running = OleRun(instance);
  holder.last_result = running;
  if (FAILED(running)) {
    instance->Release();
    return false;
  }
  holder.iface = instance;
  return true;
}

void object_share(AutomationObject& target, const AutomationObject& source) {
  IUnknown* shared = source.iface();
  if (shared != nullptr) shared->AddRef();
  if (target.block()->iface != nullptr) target.block()->iface->Release();
  target.block()->iface = shared;
}

void object_release(AutomationObject& holder) {
  AutomationObject::Block& block = *holder.block();
  if (block.iface != nullptr) block.iface->Release();
  block.iface = nullptr;
  block.last_result = 0;
}

bool object_is_empty(const AutomationObject& holder) {
  return holder.iface() == nullptr;
}

// ---------------------------------------------------------------------------------------------
// Member calls

Text get_property_text(TypedArgs args) {
  return call_with_rule(args, DISPATCH_PROPERTYGET, text_rule);
}
double get_property_number(TypedArgs args) {
  return call_with_rule(args, DISPATCH_PROPERTYGET, number_rule);
}
AutomationObject get_property_object(TypedArgs args) {
  return call_with_rule(args, DISPATCH_PROPERTYGET, object_rule);
}
VariantValue get_property_variant(TypedArgs args) {
  return call_into_variant(args, DISPATCH_PROPERTYGET);
}
bool set_property(TypedArgs args) {
  run_member_call(args, DISPATCH_PROPERTYPUT, nullptr);
  const auto* holder = args.empty() ? nullptr : args[0].pointer_as<AutomationObject::Block>();
  return holder != nullptr && holder->last_result == S_OK;
}
void call_method(TypedArgs args) {
  call_with_rule(args, DISPATCH_METHOD, [](const VARIANT&) { return 0; });
}
VariantValue call_method_variant(TypedArgs args) {
  return call_into_variant(args, DISPATCH_METHOD);
}
Text call_method_text(TypedArgs args) {
  return call_with_rule(args, DISPATCH_METHOD, text_rule);
}
double call_method_number(TypedArgs args) {
  return call_with_rule(args, DISPATCH_METHOD, number_rule);
}
bool call_method_logical(TypedArgs args) {
  return call_with_rule(args, DISPATCH_METHOD, logical_rule);
}
AutomationObject call_method_object(TypedArgs args) {
  return call_with_rule(args, DISPATCH_METHOD, object_rule);
}

Text get_property_text(AutomationObject& holder, const char* name, MemberArgs args) {
  return get_property_text(member_call_args(holder, name, args));
}
double get_property_number(AutomationObject& holder, const char* name, MemberArgs args) {
  return get_property_number(member_call_args(holder, name, args));
}
AutomationObject get_property_object(AutomationObject& holder, const char* name, MemberArgs args) {
  return get_property_object(member_call_args(holder, name, args));
}
VariantValue get_property_variant(AutomationObject& holder, const char* name, MemberArgs args) {
  return get_property_variant(member_call_args(holder, name, args));
}
bool set_property(AutomationObject& holder, const char* name, MemberArgs args) {
  return set_property(member_call_args(holder, name, args));
}
void call_method(AutomationObject& holder, const char* name, MemberArgs args) {
  call_method(member_call_args(holder, name, args));
}
VariantValue call_method_variant(AutomationObject& holder, const char* name, MemberArgs args) {
  return call_method_variant(member_call_args(holder, name, args));
}
Text call_method_text(AutomationObject& holder, const char* name, MemberArgs args) {
  return call_method_text(member_call_args(holder, name, args));
}
double call_method_number(AutomationObject& holder, const char* name, MemberArgs args) {
  return call_method_number(member_call_args(holder, name, args));
}
bool call_method_logical(AutomationObject& holder, const char* name, MemberArgs args) {
  return call_method_logical(member_call_args(holder, name, args));
}
AutomationObject call_method_object(AutomationObject& holder, const char* name, MemberArgs args) {
  return call_method_object(member_call_args(holder, name, args));
}
