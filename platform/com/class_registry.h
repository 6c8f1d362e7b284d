// The class registry and instance creation: CLSIDFromProgID, CLSIDFromString, CoCreateInstance
// and OleRun over a table that code fills at run time.
//
// Components register themselves with a ProgID, a CLSID and a creation function; nothing is read
// from disk. Every class is an in-process server of the calling thread's apartment.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/com/unknown.h"

inline constexpr std::uint32_t CLSCTX_INPROC_SERVER = 0x1;
inline constexpr std::uint32_t CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr std::uint32_t CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr std::uint32_t CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr std::uint32_t CLSCTX_ALL = 0x17;

// Makes a new instance with one reference for the caller into `*instance`; a failure code and
// null otherwise.
using ClassCreateFunction = HRESULT (*)(IUnknown** instance);

// Adds a class. False (and nothing added) when `prog_id` is empty, the function is null, or the
// ProgID or CLSID is registered already. ProgIDs are matched without regard to ASCII letter case.
bool register_class(std::u16string_view prog_id, const CLSID& clsid, ClassCreateFunction create);

// Removes the class `clsid`; false when it is not registered.
bool unregister_class(const CLSID& clsid);

// CLSIDFromProgID: the CLSID registered for `prog_id` into `*clsid`. S_OK; E_INVALIDARG for null
// arguments; REGDB_E_CLASSNOTREG for a ProgID that is not registered (`*clsid` untouched).
// Deviation: the platform answers CO_E_CLASSSTRING here too; a distinct code lets callers tell
// which of the two look-ups failed.
HRESULT CLSIDFromProgID(const OLECHAR* prog_id, CLSID* clsid);

// CLSIDFromString: reads the registry form "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (registered
// or not), and otherwise takes the text as a ProgID. A null text gives CLSID_NULL and S_OK.
// CO_E_CLASSSTRING for a text that is neither (`*clsid` untouched); E_INVALIDARG for a null
// `clsid`.
HRESULT CLSIDFromString(const OLECHAR* text, CLSID* clsid);

// CoCreateInstance: a new instance of class `clsid` asked for interface `iid` into `*object`.
//   E_POINTER              null `object`;
//   CO_E_NOTINITIALIZED    the calling thread has not entered its apartment (CoInitialize);
//   E_INVALIDARG           `context` asks for CLSCTX_REMOTE_SERVER or holds unknown bits: this
//                          stand-in has no remote activation, like a platform without distributed
//                          COM, so callers retry without the remote bit;
//   CLASS_E_NOAGGREGATION  an outer object was given;
//   REGDB_E_CLASSNOTREG    the class is not registered, or `context` lacks CLSCTX_INPROC_SERVER;
//   E_NOINTERFACE          the instance does not offer `iid` (the instance is released);
//   the creation function's failure code otherwise.
// `*object` is null on every failure.
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, std::uint32_t context, REFIID iid,
                         void** object);

// OleRun: puts an object into its running state. In-process objects here run from creation, so
// S_OK for any object; E_INVALIDARG for null.
HRESULT OleRun(IUnknown* object);
