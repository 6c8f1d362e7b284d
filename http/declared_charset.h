// The charset step of the web request routine: an HTML body whose meta tag declares a charset
// other than GBK is decoded again from its bytes in that charset, through the stream component
// "Adodb.Stream".
//
//   apply_declared_charset(body_text, body_bytes, regex, stream, value);
#pragma once

#include <cstdint>
#include <string_view>

#include "regex/regex_object.h"
#include "runtime/automation_object.h"
#include "runtime/runtime.h"
#include "runtime/variant_value.h"

// The meta tag that declares a page's charset; its first group is the charset name. It is
// looked for in the first kCharsetSubjectLength bytes of the body only.
inline constexpr std::string_view kCharsetPattern = "<meta.+?charset=[^\\w]?([-\\w]+)";
inline constexpr std::int32_t kCharsetSubjectLength = 1024;

// True for an answer the charset step reads: an HTML page. Its Content-Type (`content_type`, the
// header's value, null without one) names text/html or application/xhtml+xml in any letter case,
// parameters after ";" aside; an answer without a Content-Type is a page when the first byte of
// `body_text` that is not a blank (space, tab, CR, LF) is "<". A JSON answer is never read for a
// meta tag, whatever its records hold.
[[nodiscard]] bool is_html_answer(const Text& content_type, std::string_view body_text);

// The charset step for an answer whose raw header block is `header_block`: apply_declared_charset
// when is_html_answer holds for its Content-Type and `body_text`, nothing otherwise.
void apply_charset_of_page(Text& body_text, const ByteSet& body_bytes,
                           std::string_view header_block, RegexObject& regex,
                           AutomationObject& stream, VariantValue& value);

// The charset step of a request, on the body made from `body_bytes`: inside its own entry into the
// thread's apartment, looks for the meta tag in the first kCharsetSubjectLength bytes of
// `body_text` with `regex` (every search option at its default: any letter case, multiline,
// global), and when the tag names a charset that charset_needs_decoding accepts, decodes the body
// again with decode_body_in_charset through `stream` and `value`. Whenever the search could run,
// with a match or without, one pass of the message pump follows. `body_bytes` never changes.
void apply_declared_charset(Text& body_text, const ByteSet& body_bytes, RegexObject& regex,
                            AutomationObject& stream, VariantValue& value);

// True for a declared charset that the body text is not already in: not empty and neither "gbk"
// nor "gb2312" in exactly those letters ("GBK" is decoded again).
[[nodiscard]] bool charset_needs_decoding(std::string_view charset);

// Replaces `body_text` by `body_bytes` decoded in `charset`: a new "Adodb.Stream" in `stream`
// takes the bytes (through `value`, which becomes their byte array) as a binary stream, and is
// read back from its start as text in that charset; the text comes back in GBK. Afterwards the
// stream is closed and released and `value` cleared. `body_bytes` never changes.
//   - no stream component: `body_text` stays as it was;
//   - a charset the component does not know: `body_text` stays as it was (the component keeps
//     its default "Unicode", and reading the body as that would garble it);
//   - a failing ReadText: `body_text` becomes empty, as its result replaces the text whatever it
//     is. The other calls' results are not looked at.
void decode_body_in_charset(const Text& charset, const ByteSet& body_bytes, Text& body_text,
                            AutomationObject& stream, VariantValue& value);
