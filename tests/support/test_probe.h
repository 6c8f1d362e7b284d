// "Test.Probe": an automation component for the tests, built on DispatchObject.
//
// Members (identifiers in brackets):
//   Name [1] text, Count [2] integer, Ratio [3] double, Flag [4] logical: read/write properties
//   Peer [5]          object property declared by reference; written only by reference
//                     (DISPATCH_PROPERTYPUTREF), read back as VT_DISPATCH
//   Item [6](i)       indexed read-only property: a new probe named "item<i>"
//   Echo [10](v)      returns a copy of its by-value argument
//   ArgCount [11](..) returns how many arguments it received
//   Append [12](&s, t)  appends t to s, declared by reference; Peek [13](s, t) the same by value,
//                     returning s + t
//   Bump [14](&n)     adds one to n; Toggle [15](&b) negates b; Replace [16](&v) makes v "replaced"
//   Child [17]        returns a new probe; ChildByRef [18] returns VT_BYREF|VT_DISPATCH at a kept
//   one Fail [19]         fails with DISP_E_EXCEPTION Sum [20](a, b)    returns a + b as a double
//   Bytes [21](a)     records a byte array and returns its length; it then scribbles on its copy
//   Kinds [22]        returns VT_VARIANT-typed values of several kinds by index (see .cpp)
// "Test.BareProbe" is the same component without a type description.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/com/unknown.h"

inline constexpr CLSID kProbeClsid{
    0x5EB1D0E1, 0x1F2A, 0x4C3B, {0x9D, 0x4E, 0x5F, 0x60, 0x71, 0x82, 0x93, 0xA4}};
inline constexpr const char* kProbeClsidText = "{5EB1D0E1-1F2A-4C3B-9D4E-5F60718293A4}";
inline constexpr CLSID kBareProbeClsid{
    0x5EB1D0E2, 0x1F2A, 0x4C3B, {0x9D, 0x4E, 0x5F, 0x60, 0x71, 0x82, 0x93, 0xA4}};

// What the last call into any probe received.
struct ProbeCall {
  DISPID id = DISPID_UNKNOWN;
  std::uint16_t flags = 0;
  std::uint32_t named_count = 0;
  std::vector<VARTYPE> arg_types;   // first argument first
  bool received_null_text = false;  // Append's first argument pointed at a null BSTR
  std::vector<std::uint8_t> bytes;  // Bytes: the array's contents
  std::int32_t lower_bound = -1;    // Bytes: the array's lower bound
  std::uint32_t dimensions = 0;     // Bytes: the array's dimension count
};
[[nodiscard]] ProbeCall& last_probe_call();

// How many probe instances are alive.
[[nodiscard]] std::int32_t probe_instances();

// Registers "Test.Probe" and "Test.BareProbe" (again is harmless).
void register_probe_classes();
