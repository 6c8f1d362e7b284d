#include "tests/support/test_probe.h"

#include <string>

#include "platform/com/dispatch_object.h"
#include "platform/com/safearray.h"

namespace {

std::int32_t instances = 0;

constexpr VARTYPE kOneVariant[] = {VT_VARIANT};
constexpr VARTYPE kIndex[] = {VT_I4};
constexpr VARTYPE kAppendParams[] = {VT_BYREF | VT_BSTR, VT_BSTR};
constexpr VARTYPE kPeekParams[] = {VT_BSTR, VT_BSTR};
constexpr VARTYPE kBumpParams[] = {VT_BYREF | VT_I4};
constexpr VARTYPE kToggleParams[] = {VT_BYREF | VT_BOOL};
constexpr VARTYPE kReplaceParams[] = {VT_BYREF | VT_VARIANT};
constexpr VARTYPE kSumParams[] = {VT_R8, VT_R8};

enum ProbeMember : DISPID {
  kName = 1,
  kCount,
  kRatio,
  kFlag,
  kPeer,
  kItem,
  kEcho = 10,
  kArgCount,
  kAppend,
  kPeek,
  kBump,
  kToggle,
  kReplace,
  kChild,
  kChildByRef,
  kFail,
  kSum,
  kBytes,
  kKinds,
};

constexpr DispatchMember kMembers[] = {
    {.name = u"Name", .id = kName, .kind = MemberKind::property, .type = VT_BSTR},
    {.name = u"Count", .id = kCount, .kind = MemberKind::property, .type = VT_I4},
    {.name = u"Ratio", .id = kRatio, .kind = MemberKind::property, .type = VT_R8},
    {.name = u"Flag", .id = kFlag, .kind = MemberKind::property, .type = VT_BOOL},
    {.name = u"Peer", .id = kPeer, .kind = MemberKind::property, .type = VT_BYREF | VT_DISPATCH},
    {.name = u"Item",
     .id = kItem,
     .kind = MemberKind::property,
     .type = VT_DISPATCH,
     .params = kIndex},
    {.name = u"Echo", .id = kEcho, .params = kOneVariant},
    {.name = u"ArgCount", .id = kArgCount, .type = VT_I4, .variadic = true},
    {.name = u"Append", .id = kAppend, .type = VT_VOID, .params = kAppendParams},
    {.name = u"Peek", .id = kPeek, .type = VT_BSTR, .params = kPeekParams},
    {.name = u"Bump", .id = kBump, .type = VT_VOID, .params = kBumpParams},
    {.name = u"Toggle", .id = kToggle, .type = VT_VOID, .params = kToggleParams},
    {.name = u"Replace", .id = kReplace, .type = VT_VOID, .params = kReplaceParams},
    {.name = u"Child", .id = kChild, .type = VT_DISPATCH},
    {.name = u"ChildByRef", .id = kChildByRef, .type = VT_BYREF | VT_DISPATCH},
    {.name = u"Fail", .id = kFail, .type = VT_VOID},
    {.name = u"Sum", .id = kSum, .type = VT_R8, .params = kSumParams},
    {.name = u"Bytes", .id = kBytes, .type = VT_I4, .params = kOneVariant},
    {.name = u"Kinds", .id = kKinds, .params = kIndex},
};

HRESULT create_probe(IUnknown** instance);

class Probe : public DispatchObject {
 public:
  explicit Probe(bool described = true)
      : DispatchObject(kMembers, create_probe), described_(described) {
    ++instances;
  }
  ~Probe() override {
    if (peer_ != nullptr) peer_->Release();
    if (kept_child_ != nullptr) kept_child_->Release();
    --instances;
  }

  HRESULT GetTypeInfo(std::uint32_t index, LCID lcid, ITypeInfo** info) override {
    if (!described_) {
      if (info != nullptr) *info = nullptr;
      return E_NOTIMPL;
    }
    return DispatchObject::GetTypeInfo(index, lcid, info);
  }

  std::u16string name;

 protected:
  HRESULT invoke_member(const DispatchMember& member, const DispatchCall& call) override {
    record(member, call);
    if (member.kind == MemberKind::property) return property(member.id, call);
    return method(member.id, call);
  }

 private:
  static void record(const DispatchMember& member, const DispatchCall& call) {
    ProbeCall& record = last_probe_call();
    record = ProbeCall{};
    record.id = member.id;
    record.flags = call.flags();
    record.named_count = call.is_put() ? 1 : 0;
    for (std::uint32_t i = 0; i < call.count(); ++i)
      record.arg_types.push_back(call.arg(i).vt);
    if (call.is_put()) record.arg_types.push_back(call.put_value().vt);
  }

  static HRESULT put_text(const VARIANT& value, std::u16string* text) {
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT got = VariantChangeType(&converted, &value, 0, VT_BSTR);
    if (SUCCEEDED(got))
      text->assign(converted.bstrVal ? converted.bstrVal : u"", SysStringLen(converted.bstrVal));
    VariantClear(&converted);
    return got;
  }

  template <class T>
  static HRESULT put_scalar(const VARIANT& value, VARTYPE vt, T VARIANT::*member, T* field) {
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT got = VariantChangeType(&converted, &value, 0, vt);
    if (SUCCEEDED(got)) *field = converted.*member;
    return got;
  }

  HRESULT property(DISPID id, const DispatchCall& call) {
    if (id == kItem) {
      if (call.is_put()) return DISP_E_MEMBERNOTFOUND;
      std::int32_t index = 0;
      if (FAILED(call.get_int(0, &index))) return DISP_E_TYPEMISMATCH;
      auto* item = new Probe;
      item->name = u"item" + std::u16string(1, static_cast<char16_t>(u'0' + index % 10));
      return call.return_object(item);
    }
    if (id == kPeer) return peer(call);
    if (call.is_put()) {
      const VARIANT& value = call.put_value();
      switch (id) {
        case kName:
          return put_text(value, &name);
        case kCount:
          return put_scalar(value, VT_I4, &VARIANT::lVal, &count_);
        case kRatio:
          return put_scalar(value, VT_R8, &VARIANT::dblVal, &ratio_);
        default:
          return put_scalar(value, VT_BOOL, &VARIANT::boolVal, &flag_);
      }
    }
    switch (id) {
      case kName:
        return call.return_text(name);
      case kCount:
        return call.return_int(count_);
      case kRatio:
        return call.return_double(ratio_);
      default:
        return call.return_bool(flag_ != 0);
    }
  }

  HRESULT peer(const DispatchCall& call) {
    if ((call.flags() & DISPATCH_PROPERTYPUT) != 0) return DISP_E_TYPEMISMATCH;  // Set only
    if ((call.flags() & DISPATCH_PROPERTYPUTREF) != 0) {
      const VARIANT& value = call.put_value();
      IDispatch* object = value.vt == (VT_BYREF | VT_DISPATCH) ? *value.ppdispVal
                          : value.vt == VT_DISPATCH            ? value.pdispVal
                                                               : nullptr;
      if (object != nullptr) object->AddRef();
      if (peer_ != nullptr) peer_->Release();
      peer_ = object;
      return S_OK;
    }
    if (peer_ != nullptr) peer_->AddRef();
    return call.return_object(peer_);
  }

  HRESULT method(DISPID id, const DispatchCall& call) {
    switch (id) {
      case kEcho: {
        VARIANT copy;
        VariantInit(&copy);
        const HRESULT copied = VariantCopyInd(&copy, &call.arg(0));
        if (FAILED(copied)) return copied;
        if (call.result() != nullptr) {
          VariantClear(call.result());
          *call.result() = copy;
        } else {
          VariantClear(&copy);
        }
        return S_OK;
      }
      case kArgCount:
        return call.return_int(static_cast<std::int32_t>(call.count()));
      case kAppend:
        return append(call);
      case kPeek: {
        std::u16string text, suffix;
        if (FAILED(call.get_text(0, &text)) || FAILED(call.get_text(1, &suffix))) {
          return DISP_E_TYPEMISMATCH;
        }
        return call.return_text(text + suffix);
      }
      case kBump:
        if (call.arg(0).vt != (VT_BYREF | VT_I4)) return DISP_E_TYPEMISMATCH;
        ++*call.arg(0).plVal;
        return S_OK;
      case kToggle:
        if (call.arg(0).vt != (VT_BYREF | VT_BOOL)) return DISP_E_TYPEMISMATCH;
        *call.arg(0).pboolVal = *call.arg(0).pboolVal ? VARIANT_FALSE : VARIANT_TRUE;
        return S_OK;
      case kReplace: {
        if (call.arg(0).vt != (VT_BYREF | VT_VARIANT)) return DISP_E_TYPEMISMATCH;
        VARIANT* target = call.arg(0).pvarVal;
        VariantClear(target);
        target->vt = VT_BSTR;
        target->bstrVal = SysAllocString(u"replaced");
        return S_OK;
      }
      case kChild:
        return call.return_object(new Probe);
      case kChildByRef:
        if (kept_child_ == nullptr) kept_child_ = new Probe;
        if (call.result() != nullptr) {
          call.result()->vt = VT_BYREF | VT_DISPATCH;
          call.result()->ppdispVal = &kept_child_;
        }
        return S_OK;
      case kFail:
        return DISP_E_EXCEPTION;
      case kSum: {
        double a = 0, b = 0;
        if (FAILED(call.get_double(0, &a)) || FAILED(call.get_double(1, &b))) {
          return DISP_E_TYPEMISMATCH;
        }
        return call.return_double(a + b);
      }
      case kBytes:
        return bytes(call);
      default:
        return kinds(call);
    }
  }

  static HRESULT append(const DispatchCall& call) {
    VARIANT& target = call.arg(0);
    if (target.vt != (VT_BYREF | VT_BSTR)) return DISP_E_TYPEMISMATCH;
    last_probe_call().received_null_text = *target.pbstrVal == nullptr;
    std::u16string suffix;
    if (FAILED(call.get_text(1, &suffix))) return DISP_E_TYPEMISMATCH;
    BSTR old = *target.pbstrVal;
    std::u16string joined(old ? old : u"", SysStringLen(old));
    joined += suffix;
    *target.pbstrVal = SysAllocStringLen(joined.data(), static_cast<std::uint32_t>(joined.size()));
    SysFreeString(old);
    return S_OK;
  }

  static HRESULT bytes(const DispatchCall& call) {
    const VARIANT& value = call.arg(0);
    if (value.vt != (VT_ARRAY | VT_UI1)) return DISP_E_TYPEMISMATCH;
    ProbeCall& record = last_probe_call();
    if (value.parray == nullptr) return call.return_int(-1);
    record.dimensions = SafeArrayGetDim(value.parray);
    SafeArrayGetLBound(value.parray, 1, &record.lower_bound);
    const auto count = static_cast<std::uint32_t>(safe_array_total(value.parray));
    void* data = nullptr;
    SafeArrayAccessData(value.parray, &data);
    const auto* first = static_cast<std::uint8_t*>(data);
    record.bytes.assign(first, first + count);
    if (count > 0) static_cast<std::uint8_t*>(data)[0] ^= 0xFF;  // a callee that writes its copy
    SafeArrayUnaccessData(value.parray);
    return call.return_int(static_cast<std::int32_t>(count));
  }

  // Kinds(i): 1 VT_I2 -7, 2 VT_CY 2.5, 3 VT_DATE 1.5, 4 VT_BOOL true, 5 VT_UI1 200, 6 VT_I8 5,
  // 7 VT_NULL, 8 VT_UNKNOWN probe, 9 VT_R4 0.25, 10 VT_UI4 4000000000, 11 VT_I1 -3, 12 VT_UI2
  // 60000, 13 VT_ARRAY|VT_BSTR {"a", "b"}.
  static HRESULT kinds(const DispatchCall& call) {
    std::int32_t index = 0;
    if (FAILED(call.get_int(0, &index))) return DISP_E_TYPEMISMATCH;
    VARIANT* out = call.result();
    if (out == nullptr) return S_OK;
    VariantClear(out);
    switch (index) {
      case 1:
        out->vt = VT_I2;
        out->iVal = -7;
        break;
      case 2:
        out->vt = VT_CY;
        out->cyVal.int64 = 25000;
        break;
      case 3:
        out->vt = VT_DATE;
        out->date = 1.5;
        break;
      case 4:
        out->vt = VT_BOOL;
        out->boolVal = VARIANT_TRUE;
        break;
      case 5:
        out->vt = VT_UI1;
        out->bVal = 200;
        break;
      case 6:
        out->vt = VT_I8;
        out->llVal = 5;
        break;
      case 7:
        out->vt = VT_NULL;
        break;
      case 8:
        out->vt = VT_UNKNOWN;
        out->punkVal = static_cast<IDispatch*>(new Probe);
        break;
      case 9:
        out->vt = VT_R4;
        out->fltVal = 0.25f;
        break;
      case 10:
        out->vt = VT_UI4;
        out->ulVal = 4000000000u;
        break;
      case 11:
        out->vt = VT_I1;
        out->cVal = -3;
        break;
      case 12:
        out->vt = VT_UI2;
        out->uiVal = 60000;
        break;
      case 13: {
        SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, 2);
        void* data = nullptr;
        SafeArrayAccessData(array, &data);
        static_cast<BSTR*>(data)[0] = SysAllocString(u"a");
        static_cast<BSTR*>(data)[1] = SysAllocString(u"b");
        SafeArrayUnaccessData(array);
        out->vt = VT_ARRAY | VT_BSTR;
        out->parray = array;
        break;
      }
      default:
        return DISP_E_BADINDEX;
    }
    return S_OK;
  }

  bool described_;
  std::int32_t count_ = 0;
  double ratio_ = 0;
  VARIANT_BOOL flag_ = VARIANT_FALSE;
  IDispatch* peer_ = nullptr;
  IDispatch* kept_child_ = nullptr;
};

HRESULT create_probe(IUnknown** instance) {
  *instance = static_cast<IDispatch*>(new Probe);
  return S_OK;
}

HRESULT create_bare_probe(IUnknown** instance) {
  *instance = static_cast<IDispatch*>(new Probe(false));
  return S_OK;
}

}  // namespace

ProbeCall& last_probe_call() {
  static ProbeCall call;
  return call;
}

std::int32_t probe_instances() {
  return instances;
}

void register_probe_classes() {
  register_class(u"Test.Probe", kProbeClsid, create_probe);
  register_class(u"Test.BareProbe", kBareProbeClsid, create_bare_probe);
}
