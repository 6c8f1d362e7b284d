// ITypeInfo and ITypeLib: descriptions of an object's members, as far as the bridge reads them.
//
// A description answers how many functions (methods) and variables (properties) a type has, and
// for each its member identifier and the types of its parameters. A parameter declared by
// reference has the type VT_PTR (pointing at the base type through `lptdesc`) or carries VT_BYREF.
#pragma once

#include <cstdint>

#include "platform/com/unknown.h"

struct TYPEDESC {
  const TYPEDESC* lptdesc = nullptr;  // the pointed-at type when vt is VT_PTR
  VARTYPE vt = VT_EMPTY;
};

struct ELEMDESC {
  TYPEDESC tdesc;
  std::uint16_t wParamFlags = 0;
};

inline constexpr std::uint16_t PARAMFLAG_FIN = 0x1;
inline constexpr std::uint16_t PARAMFLAG_FOUT = 0x2;
inline constexpr std::uint16_t PARAMFLAG_FOPT = 0x10;

struct TYPEATTR {
  GUID guid;
  std::uint16_t cFuncs = 0;
  std::uint16_t cVars = 0;
};

enum INVOKEKIND : std::int32_t {
  INVOKE_FUNC = 1,
  INVOKE_PROPERTYGET = 2,
  INVOKE_PROPERTYPUT = 4,
  INVOKE_PROPERTYPUTREF = 8,
};

struct FUNCDESC {
  MEMBERID memid = DISPID_UNKNOWN;
  const ELEMDESC* lprgelemdescParam = nullptr;
  INVOKEKIND invkind = INVOKE_FUNC;
  std::int16_t cParams = 0;
  std::int16_t cParamsOpt = 0;
  ELEMDESC elemdescFunc;  // the result type
};

struct VARDESC {
  MEMBERID memid = DISPID_UNKNOWN;
  ELEMDESC elemdescVar;
};

class ITypeInfo : public IUnknown {
 public:
  // Each Get hands out a description that the caller returns through the matching Release.
  // Index past the end: TYPE_E_ELEMENTNOTFOUND. Null output: E_INVALIDARG.
  virtual HRESULT GetTypeAttr(TYPEATTR** attr) = 0;
  virtual void ReleaseTypeAttr(TYPEATTR* attr) = 0;
  virtual HRESULT GetFuncDesc(std::uint32_t index, FUNCDESC** desc) = 0;
  virtual void ReleaseFuncDesc(FUNCDESC* desc) = 0;
  virtual HRESULT GetVarDesc(std::uint32_t index, VARDESC** desc) = 0;
  virtual void ReleaseVarDesc(VARDESC* desc) = 0;
  // A new instance of the described class, asked for interface `iid`. An outer object is refused
  // with CLASS_E_NOAGGREGATION.
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;

 protected:
  ~ITypeInfo() = default;
};

class ITypeLib : public IUnknown {
 public:
  // Finds up to `*found` descriptions whose name is `name` (matched without regard to case);
  // `*found` becomes the number found, each with one reference in `infos` and its id in `ids`.
  virtual HRESULT FindName(OLECHAR* name, std::uint32_t hash, ITypeInfo** infos, MEMBERID* ids,
                           std::uint16_t* found) = 0;

 protected:
  ~ITypeLib() = default;
};
