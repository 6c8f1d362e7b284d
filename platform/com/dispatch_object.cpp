#include "platform/com/dispatch_object.h"

#include <cstring>

#include "platform/base/ascii.h"

namespace {

// The description of one declared type: VT_BYREF becomes VT_PTR to the base type, which lives
// in `pointee`.
TYPEDESC describe_type(VARTYPE vt, TYPEDESC* pointee) {
  if ((vt & VT_BYREF) == 0) return {nullptr, vt};
  pointee->vt = static_cast<VARTYPE>(vt & ~VT_BYREF);
  return {pointee, VT_PTR};
}

// A description block: the description first, so the pointer handed out converts back.
struct FuncDescBlock {
  FUNCDESC desc;
  ELEMDESC* params;
  TYPEDESC* pointees;  // one per parameter, and one for the result
};

struct VarDescBlock {
  VARDESC desc;
  TYPEDESC pointee;
};

class TableTypeInfo final : public ITypeInfo {
 public:
  TableTypeInfo(std::span<const DispatchMember> members, ClassCreateFunction create)
      : members_(members), create_(create) {}
  virtual ~TableTypeInfo() = default;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_ITypeInfo) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    *object = static_cast<ITypeInfo*>(this);
    return S_OK;
  }
  std::uint32_t AddRef() override { return ++references_; }
  std::uint32_t Release() override {
    const std::uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT GetTypeAttr(TYPEATTR** attr) override {
    if (attr == nullptr) return E_INVALIDARG;
    auto* made = new TYPEATTR;
    made->cFuncs = static_cast<std::uint16_t>(count_of(MemberKind::method));
    made->cVars = static_cast<std::uint16_t>(count_of(MemberKind::property));
    *attr = made;
    return S_OK;
  }
  void ReleaseTypeAttr(TYPEATTR* attr) override { delete attr; }

  HRESULT GetFuncDesc(std::uint32_t index, FUNCDESC** desc) override {
    if (desc == nullptr) return E_INVALIDARG;
    const DispatchMember* member = nth(MemberKind::method, index);
    if (member == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    const std::size_t count = member->params.size();
    auto* block = new FuncDescBlock{};
    block->params = new ELEMDESC[count == 0 ? 1 : count]{};
    block->pointees = new TYPEDESC[count + 1]{};
    for (std::size_t k = 0; k < count; ++k) {
      block->params[k].tdesc = describe_type(member->params[k], &block->pointees[k]);
      block->params[k].wParamFlags = PARAMFLAG_FIN;
    }
    block->desc.memid = member->id;
    block->desc.lprgelemdescParam = block->params;
    block->desc.cParams = static_cast<std::int16_t>(count);
    const auto required =
        member->required < 0 ? static_cast<std::int16_t>(count) : member->required;
    block->desc.cParamsOpt = static_cast<std::int16_t>(count - static_cast<std::size_t>(required));
    block->desc.elemdescFunc.tdesc = describe_type(member->type, &block->pointees[count]);
    *desc = &block->desc;
    return S_OK;
  }
  void ReleaseFuncDesc(FUNCDESC* desc) override {
    if (desc == nullptr) return;
    auto* block = reinterpret_cast<FuncDescBlock*>(desc);
    delete[] block->params;
    delete[] block->pointees;
    delete block;
  }

  HRESULT GetVarDesc(std::uint32_t index, VARDESC** desc) override {
    if (desc == nullptr) return E_INVALIDARG;
    const DispatchMember* member = nth(MemberKind::property, index);
    if (member == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    auto* block = new VarDescBlock{};
    block->desc.memid = member->id;
    block->desc.elemdescVar.tdesc = describe_type(member->type, &block->pointee);
    *desc = &block->desc;
    return S_OK;
  }
  void ReleaseVarDesc(VARDESC* desc) override { delete reinterpret_cast<VarDescBlock*>(desc); }

  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    if (create_ == nullptr) return E_NOTIMPL;
    IUnknown* instance = nullptr;
    const HRESULT created = create_(&instance);
    if (FAILED(created)) return created;
    const HRESULT asked = instance->QueryInterface(iid, object);
    instance->Release();
    return asked;
  }

 private:
  std::uint32_t count_of(MemberKind kind) const {
    std::uint32_t count = 0;
    for (const DispatchMember& member : members_)
      count += member.kind == kind ? 1 : 0;
    return count;
  }
  const DispatchMember* nth(MemberKind kind, std::uint32_t index) const {
    for (const DispatchMember& member : members_) {
      if (member.kind != kind) continue;
      if (index-- == 0) return &member;
    }
    return nullptr;
  }

  std::span<const DispatchMember> members_;
  ClassCreateFunction create_;
  std::uint32_t references_ = 1;
};

bool flags_fit(const DispatchMember& member, std::uint16_t flags) {
  if (member.kind == MemberKind::method) return (flags & DISPATCH_METHOD) != 0;
  return (flags & (DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
}

// Named arguments: exactly DISPID_PROPERTYPUT (with a value) for a write, none otherwise.
HRESULT check_named_arguments(const DISPPARAMS& params, bool is_put) {
  if (params.cNamedArgs > params.cArgs) return E_INVALIDARG;
  if (!is_put) return params.cNamedArgs == 0 ? S_OK : DISP_E_NONAMEDARGS;
  if (params.cNamedArgs != 1 || params.rgdispidNamedArgs == nullptr ||
      params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
    return DISP_E_PARAMNOTFOUND;
  }
  return S_OK;
}

HRESULT check_argument_count(const DispatchMember& member, std::uint32_t count) {
  const std::uint32_t declared = static_cast<std::uint32_t>(member.params.size());
  const std::uint32_t required =
      member.required < 0 ? declared : static_cast<std::uint32_t>(member.required);
  if (count < required) return DISP_E_BADPARAMCOUNT;
  if (count > declared && !member.variadic) return DISP_E_BADPARAMCOUNT;
  return S_OK;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// DispatchCall

HRESULT DispatchCall::get(std::uint32_t index, VARTYPE vt, VARIANT* out) const {
  VariantInit(out);
  if (index >= count()) return DISP_E_PARAMNOTFOUND;
  return FAILED(VariantChangeType(out, &arg(index), 0, vt)) ? DISP_E_TYPEMISMATCH : S_OK;
}

HRESULT DispatchCall::get_text(std::uint32_t index, std::u16string* text) const {
  VARIANT value;
  const HRESULT got = get(index, VT_BSTR, &value);
  if (SUCCEEDED(got))
    text->assign(value.bstrVal ? value.bstrVal : u"", SysStringLen(value.bstrVal));
  VariantClear(&value);
  return got;
}

HRESULT DispatchCall::get_int(std::uint32_t index, std::int32_t* value) const {
  VARIANT converted;
  const HRESULT got = get(index, VT_I4, &converted);
  if (SUCCEEDED(got)) *value = converted.lVal;
  return got;
}

HRESULT DispatchCall::get_double(std::uint32_t index, double* value) const {
  VARIANT converted;
  const HRESULT got = get(index, VT_R8, &converted);
  if (SUCCEEDED(got)) *value = converted.dblVal;
  return got;
}

HRESULT DispatchCall::return_text(std::u16string_view text) const {
  if (result_ == nullptr) return S_OK;
  BSTR made = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
  if (made == nullptr) return E_OUTOFMEMORY;
  VariantClear(result_);
  result_->vt = VT_BSTR;
  result_->bstrVal = made;
  return S_OK;
}

HRESULT DispatchCall::return_int(std::int32_t value) const {
  if (result_ == nullptr) return S_OK;
  VariantClear(result_);
  result_->vt = VT_I4;
  result_->lVal = value;
  return S_OK;
}

HRESULT DispatchCall::return_double(double value) const {
  if (result_ == nullptr) return S_OK;
  VariantClear(result_);
  result_->vt = VT_R8;
  result_->dblVal = value;
  return S_OK;
}

HRESULT DispatchCall::return_bool(bool value) const {
  if (result_ == nullptr) return S_OK;
  VariantClear(result_);
  result_->vt = VT_BOOL;
  result_->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT DispatchCall::return_object(IDispatch* object) const {
  if (result_ == nullptr) {
    if (object != nullptr) object->Release();
    return S_OK;
  }
  VariantClear(result_);
  result_->vt = VT_DISPATCH;
  result_->pdispVal = object;
  return S_OK;
}

HRESULT DispatchCall::return_copy(const VARIANT& value) const {
  if (result_ == nullptr) return S_OK;
  return VariantCopy(result_, &value);
}

// ---------------------------------------------------------------------------------------------
// DispatchObject

DispatchObject::DispatchObject(std::span<const DispatchMember> members, ClassCreateFunction create)
    : members_(members), create_(create) {}

/* QueryInterface: IUnknown and IDispatch, one reference added. */
HRESULT DispatchObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid != IID_IUnknown && iid != IID_IDispatch) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  *object = static_cast<IDispatch*>(this);
  return S_OK;
}

std::uint32_t DispatchObject::AddRef() {
  return ++references_;
}

std::uint32_t DispatchObject::Release() {
  const std::uint32_t left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT DispatchObject::GetTypeInfoCount(std::uint32_t* count) {
  if (count == nullptr) return E_INVALIDARG;
  *count = 1;
  return S_OK;
}

/* GetTypeInfo: index 0 only (DISP_E_BADINDEX otherwise); the description of the member table. */
HRESULT DispatchObject::GetTypeInfo(std::uint32_t index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_INVALIDARG;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  *info = make_table_type_info(members_, create_);
  return S_OK;
}

/* GetIDsOfNames: the member name only; parameter names are not known (DISP_E_UNKNOWNNAME). */
HRESULT DispatchObject::GetIDsOfNames(REFIID iid, const OLECHAR* const* names, std::uint32_t count,
                                      LCID, DISPID* ids) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  for (std::uint32_t i = 0; i < count; ++i)
    ids[i] = DISPID_UNKNOWN;
  if (names[0] == nullptr) return DISP_E_UNKNOWNNAME;
  for (const DispatchMember& member : members_) {
    if (ascii_equal_ignoring_case(member.name, names[0])) {
      ids[0] = member.id;
      return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

/* Invoke: checks the interface, the member, the flags, named arguments and the argument count
   before the component sees the call. Exception information is never filled. */
HRESULT DispatchObject::Invoke(DISPID id, REFIID iid, LCID, std::uint16_t flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO*, std::uint32_t*) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr)) return E_INVALIDARG;
  const DispatchMember* member = find_member(id);
  if (member == nullptr || !flags_fit(*member, flags)) return DISP_E_MEMBERNOTFOUND;
  const DispatchCall call(flags, *params, result);
  HRESULT checked = check_named_arguments(*params, call.is_put());
  if (SUCCEEDED(checked)) checked = check_argument_count(*member, call.count());
  if (FAILED(checked)) return checked;
  return invoke_member(*member, call);
}

const DispatchMember* DispatchObject::find_member(DISPID id) const {
  for (const DispatchMember& member : members_) {
    if (member.id == id) return &member;
  }
  return nullptr;
}

ITypeInfo* make_table_type_info(std::span<const DispatchMember> members,
                                ClassCreateFunction create) {
  return new TableTypeInfo(members, create);
}
