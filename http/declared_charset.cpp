#include "http/declared_charset.h"

#include "runtime/bridge.h"

namespace {

constexpr std::int32_t kBinaryStream = 1;
constexpr std::int32_t kTextStream = 2;
constexpr std::int32_t kReadAndWrite = 3;

}  // namespace

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
