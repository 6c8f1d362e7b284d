// DispatchObject: a reusable base for automation components, driven by a table of members.
//
// A component lists its members once (name, identifier, kind, types, which parameters are
// declared by reference) and implements one `invoke_member`. The base answers QueryInterface for
// IUnknown and IDispatch, counts references (the object deletes itself at zero), looks names up
// without regard to case, checks flags and argument counts, and describes the members through an
// ITypeInfo generated from the same table: methods as function descriptions, properties as
// variable descriptions, by-reference declarations as VT_PTR to the base type.
//
//   constexpr VARTYPE kAppendParams[] = {VT_BYREF | VT_BSTR, VT_BSTR};
//   constexpr DispatchMember kMembers[] = {
//       {.name = u"Name", .id = 1, .kind = MemberKind::property, .type = VT_BSTR},
//       {.name = u"Append", .id = 2, .kind = MemberKind::method, .params = kAppendParams},
//   };
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/com/class_registry.h"
#include "platform/com/type_info.h"
#include "platform/com/unknown.h"

enum class MemberKind : std::uint8_t { property, method };

struct DispatchMember {
  std::u16string_view name;
  DISPID id = DISPID_UNKNOWN;
  MemberKind kind = MemberKind::method;
  // The property's type (VT_BYREF when declared by reference) or the method's result type.
  VARTYPE type = VT_VARIANT;
  // Declared parameters, first first (for a property: its index parameters); VT_BYREF marks a
  // parameter declared by reference.
  std::span<const VARTYPE> params = {};
  // How many of the parameters a caller must give; -1 means all of them.
  std::int16_t required = -1;
  // Accepts any number of arguments beyond the declared parameters.
  bool variadic = false;
};

// One call as the component sees it: the flags, the arguments first first, and the result.
class DispatchCall {
 public:
  DispatchCall(std::uint16_t flags, const DISPPARAMS& params, VARIANT* result)
      : flags_(flags), params_(params), result_(result) {}

  [[nodiscard]] std::uint16_t flags() const { return flags_; }
  [[nodiscard]] bool is_put() const {
    return (flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  }
  // Positional arguments (a property write's value is not one of them).
  [[nodiscard]] std::uint32_t count() const { return params_.cArgs - params_.cNamedArgs; }
  // Positional argument `index` (0 = first) as the caller passed it, VT_BYREF included.
  [[nodiscard]] VARIANT& arg(std::uint32_t index) const {
    return params_.rgvarg[params_.cArgs - 1 - index];
  }
  // The value of a property write.
  [[nodiscard]] VARIANT& put_value() const { return params_.rgvarg[0]; }

  // Argument `index` followed through VT_BYREF and converted to `vt` into `*out` (VT_EMPTY on
  // failure; the caller clears it). DISP_E_TYPEMISMATCH when it does not convert.
  HRESULT get(std::uint32_t index, VARTYPE vt, VARIANT* out) const;
  HRESULT get_text(std::uint32_t index, std::u16string* text) const;
  HRESULT get_int(std::uint32_t index, std::int32_t* value) const;
  HRESULT get_double(std::uint32_t index, double* value) const;

  // The result VARIANT; null when the caller asked for none.
  [[nodiscard]] VARIANT* result() const { return result_; }
  // Store a result (ignored when none was asked for); each answers S_OK or E_OUTOFMEMORY.
  HRESULT return_text(std::u16string_view text) const;
  HRESULT return_int(std::int32_t value) const;
  HRESULT return_double(double value) const;
  HRESULT return_bool(bool value) const;
  // Hands over one reference on `object` (null gives a null VT_DISPATCH).
  HRESULT return_object(IDispatch* object) const;
  // Copies `value` into the result.
  HRESULT return_copy(const VARIANT& value) const;

 private:
  std::uint16_t flags_;
  const DISPPARAMS& params_;
  VARIANT* result_;
};

class DispatchObject : public IDispatch {
 public:
  // `members` must outlive the object (a static table). `create`, when given, lets the type
  // description make new instances (ITypeInfo::CreateInstance).
  explicit DispatchObject(std::span<const DispatchMember> members,
                          ClassCreateFunction create = nullptr);
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;
  virtual ~DispatchObject() = default;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;
  HRESULT GetTypeInfoCount(std::uint32_t* count) override;
  HRESULT GetTypeInfo(std::uint32_t index, LCID lcid, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID iid, const OLECHAR* const* names, std::uint32_t count, LCID lcid,
                        DISPID* ids) override;
  HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, std::uint16_t flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, std::uint32_t* arg_error) override;

  // The member table entry with identifier `id`; null when there is none.
  [[nodiscard]] const DispatchMember* find_member(DISPID id) const;

 protected:
  // Carries out one call whose flags, named arguments and argument count have been checked.
  virtual HRESULT invoke_member(const DispatchMember& member, const DispatchCall& call) = 0;

 private:
  std::span<const DispatchMember> members_;
  ClassCreateFunction create_;
  std::uint32_t references_ = 1;
};

// A type description generated from a member table, with one reference for the caller.
[[nodiscard]] ITypeInfo* make_table_type_info(std::span<const DispatchMember> members,
                                              ClassCreateFunction create);
