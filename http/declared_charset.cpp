#include "http/declared_charset.h"

#include "platform/com/apartment.h"
#include "runtime/bridge.h"
#include "runtime/message_pump.h"
#include "runtime/text_commands.h"

namespace {

constexpr std::int32_t kBinaryStream = 1;
constexpr std::int32_t kTextStream = 2;
constexpr std::int32_t kReadAndWrite = 3;

}  // namespace

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
