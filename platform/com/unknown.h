// IUnknown and IDispatch: the reference-counted interfaces of the object model.
//
// Interfaces are C++ abstract classes with single inheritance, so an IDispatch pointer is also a
// valid IUnknown pointer at the same address, as the binary standard of the platform requires.
// Their destructors are protected: an object ends only through its last Release.
#pragma once

#include <cstdint>

#include "platform/base/hresult.h"
#include "platform/com/guid.h"
#include "platform/com/variant.h"

class ITypeInfo;

using LCID = std::uint32_t;
using DISPID = std::int32_t;
using MEMBERID = DISPID;

inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;

inline constexpr std::uint16_t DISPATCH_METHOD = 0x1;
inline constexpr std::uint16_t DISPATCH_PROPERTYGET = 0x2;
inline constexpr std::uint16_t DISPATCH_PROPERTYPUT = 0x4;
inline constexpr std::uint16_t DISPATCH_PROPERTYPUTREF = 0x8;

// The arguments of one Invoke: `rgvarg` holds them last-first; named arguments come first in
// `rgvarg` and their identifiers in `rgdispidNamedArgs` (a property write names its value
// DISPID_PROPERTYPUT).
struct DISPPARAMS {
  VARIANTARG* rgvarg = nullptr;
  DISPID* rgdispidNamedArgs = nullptr;
  std::uint32_t cArgs = 0;
  std::uint32_t cNamedArgs = 0;
};

// Exception details a component may fill when Invoke answers DISP_E_EXCEPTION.
struct EXCEPINFO {
  std::uint16_t wCode = 0;
  BSTR bstrSource = nullptr;
  BSTR bstrDescription = nullptr;
  SCODE scode = 0;
};

class IUnknown {
 public:
  // The object's interface `iid` with one reference added, into `*object`; S_OK, or
  // E_NOINTERFACE with `*object` null; E_POINTER for a null `object`.
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  // Add or drop one reference; each answers the new count (for information only).
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

class IDispatch : public IUnknown {
 public:
  // 1 when GetTypeInfo can describe the object, else 0.
  virtual HRESULT GetTypeInfoCount(std::uint32_t* count) = 0;
  // The description of the object's members (one reference for the caller).
  virtual HRESULT GetTypeInfo(std::uint32_t index, LCID lcid, ITypeInfo** info) = 0;
  // Identifiers of `count` names (the first is the member, the rest its parameters); names are
  // matched without regard to case. DISP_E_UNKNOWNNAME when one is unknown (its id DISPID_UNKNOWN).
  virtual HRESULT GetIDsOfNames(REFIID iid, const OLECHAR* const* names, std::uint32_t count,
                                LCID lcid, DISPID* ids) = 0;
  // Calls member `id` as `flags` says; the callee may write `result` (when not null) and the
  // by-reference arguments, and must leave the by-value ones alone.
  virtual HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, std::uint16_t flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, std::uint32_t* arg_error) = 0;

 protected:
  ~IDispatch() = default;
};
