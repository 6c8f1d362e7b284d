#include "http/declared_charset.h"

#include "http/header_block.h"
#include "platform/com/apartment.h"
#include "runtime/bridge.h"
#include "runtime/message_pump.h"
#include "runtime/text_commands.h"

namespace {

constexpr std::int32_t kBinaryStream = 1;
constexpr std::int32_t kTextStream = 2;
constexpr std::int32_t kReadAndWrite = 3;

constexpr std::string_view kBlanks = " \t\r\n";
constexpr std::string_view kHtmlMediaTypes[] = {"text/html", "application/xhtml+xml"};

// The media type of a Content-Type value: what stands before its parameters, blanks dropped.
std::string_view media_type_of(std::string_view content_type) {
  std::string_view type = content_type.substr(0, content_type.find(';'));
  const std::size_t last = type.find_last_not_of(kBlanks);
  return last == std::string_view::npos ? std::string_view() : type.substr(0, last + 1);
}

}  // namespace

bool is_html_answer(const Text& content_type, std::string_view body_text) {
  if (content_type.is_null()) {
    const std::size_t first = body_text.find_first_not_of(kBlanks);
    return first != std::string_view::npos && body_text[first] == '<';
  }
  const std::string_view media_type = media_type_of(content_type.view());
  for (const std::string_view html : kHtmlMediaTypes) {
    if (text_compare(media_type, html, LetterCase::folded) == 0) return true;
  }
  return false;
}

void apply_charset_of_page(Text& body_text, const ByteSet& body_bytes,
                           std::string_view header_block, RegexObject& regex,
                           AutomationObject& stream, VariantValue& value) {
  const Text content_type = header_value(header_block, "Content-Type");
  if (is_html_answer(content_type, body_text.view())) {
    apply_declared_charset(body_text, body_bytes, regex, stream, value);
  }
}

void apply_declared_charset(Text& body_text, const ByteSet& body_bytes, RegexObject& regex,
                            AutomationObject& stream, VariantValue& value) {
  CoInitialize(nullptr);
  const Text subject = text_left(body_text.view(), kCharsetSubjectLength);
  if (regex.search(kCharsetPattern, subject.view())) {
    const Text charset = regex.submatch_text(1, 1);
    if (charset_needs_decoding(charset.view())) {
      decode_body_in_charset(charset, body_bytes, body_text, stream, value);
    }
    dispatch_pending_messages();
  }
  CoUninitialize();
}

bool charset_needs_decoding(std::string_view charset) {
  return !charset.empty() && charset != "gbk" && charset != "gb2312";
}

void decode_body_in_charset(const Text& charset, const ByteSet& body_bytes, Text& body_text,
                            AutomationObject& stream, VariantValue& value) {
  if (!object_create(stream, "Adodb.Stream")) return;
  variant_assign(value, body_bytes.arg());
  set_property(stream, "Type", {TypedArg::integer(kBinaryStream)});
  set_property(stream, "Mode", {TypedArg::integer(kReadAndWrite)});
  call_method(stream, "Open");
  call_method(stream, "Write", {value.ref()});
  set_property(stream, "Position", {TypedArg::integer(0)});
  set_property(stream, "Type", {TypedArg::integer(kTextStream)});
  if (set_property(stream, "Charset", {charset.arg()})) {
    body_text = call_method_text(stream, "ReadText");
  }
  call_method(stream, "Close");
  object_release(stream);
  variant_clear(value.get());
}
