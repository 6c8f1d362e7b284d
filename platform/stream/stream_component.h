// "Adodb.Stream": a stream of bytes that reads them back as text in a named charset, over ICU,
// with the members the system uses and the platform component's documented behaviour.
//
// Members (identifiers in brackets):
//   Type [1]          1 binary, 2 text (the default); on an open stream written only at
//                     Position 0 (adErrIllegalOperation elsewhere); other values:
//                     adErrInvalidArgument
//   Mode [2]          the access mode, 0 (unknown) by default; written only while closed
//                     (adErrObjectOpen). Deviation: stored, not enforced.
//   Charset [3]       the charset name, "Unicode" by default, read as the platform reads it
//                     (charset_names.h); on an open stream written only at Position 0. An unknown
//                     name fails with adErrInvalidArgument and leaves the charset as it was, as a
//                     name missing from the platform's charset table does.
//   Position [4]      the offset in bytes; placing it past the end extends the stream with zero
//                     bytes; a negative one: adErrInvalidArgument
//   Open [10]()       opens an empty stream at Position 0; adErrObjectOpen when already open.
//                     Deviation: opening a source (the platform's optional arguments) is not
//                     offered, so the call takes no arguments.
//   Write [11](data)  binary streams only (adErrIllegalOperation): writes a byte array
//                     (VT_ARRAY | VT_UI1, passed by value, by reference, or in a variant passed
//                     by reference) at Position over what is there, and moves Position past it;
//                     anything else: adErrInvalidArgument
//   ReadText [12]([count])  text streams only (adErrIllegalOperation): the bytes from Position
//                     to the end decoded in Charset, where malformed bytes become U+FFFD; a
//                     byte-order mark of the charset at Position 0 is dropped (the platform drops
//                     the mark of "Unicode"; dropping UTF-8's is this stand-in's choice). Position
//                     moves to the end; at the end the text is "". Deviation: a count other than
//                     adReadAll (-1) fails with E_NOTIMPL.
//   Close [13]()      drops the bytes; Type, Mode and Charset stay.
// Position, Write, ReadText and Close fail with adErrObjectClosed on a closed stream.
#pragma once

#include <cstdint>

#include "platform/com/unknown.h"

// The platform's error numbers, reported as HRESULTs of the control facility.
enum AdoError : std::int32_t {
  adErrInvalidArgument = 3001,
  adErrIllegalOperation = 3219,
  adErrObjectClosed = 3704,
  adErrObjectOpen = 3705,
};
[[nodiscard]] constexpr HRESULT ado_result(AdoError error) {
  return hresult_from_bits(0x800A0000u | static_cast<std::uint32_t>(error));
}

inline constexpr std::int32_t adTypeBinary = 1;
inline constexpr std::int32_t adTypeText = 2;
inline constexpr std::int32_t adModeReadWrite = 3;
inline constexpr std::int32_t adReadAll = -1;

inline constexpr CLSID kStreamClsid{
    0xB7C51F3A, 0x6E2D, 0x4A8B, {0x9C, 0x1E, 0x3D, 0x5F, 0x7A, 0x9B, 0x2C, 0x40}};

// Registers "Adodb.Stream" (again is harmless).
void register_stream_component();
