// Feeds arbitrary bytes to JsonDocument's parse, as answers from the network reach it (GBK text),
// then writes the document out and reads paths from it. Differential: a reference engine decodes
// the same text with the engine's own JSON.parse; whenever that accepts it, the document must hold
// the same value (the same JSON text from the primer's stringify), and whenever it refuses it, the
// load must fail. The one intended difference is a JSON string, whose contents a load evaluates.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "duktape.h"
#include "json/json_document.h"
#include "json/json_primer.h"
#include "platform/codepage/codepage.h"
#include "platform/script/cesu8.h"
#include "platform/script/script_control.h"
#include "runtime/wide_text.h"

namespace {

// A plain engine with the native JSON.parse kept aside, then the same language and primer as
// every document's engine.
duk_ret_t prepare_reference(duk_context* context, void*) {
  duk_push_heap_stash(context);
  duk_eval_string(context, "JSON.parse");
  duk_put_prop_string(context, -2, "native_parse");
  duk_eval_string_noresult(context, "delete this.JSON; delete Date.prototype.toJSON;");
  duk_eval_string_noresult(context, kJsonPrimer);
  return 0;
}

struct Decoded {
  const std::string* text;  // CESU-8
  bool is_string;
};

// [] -> [JSON text of the decoded value]; throws when the native parse refuses the text.
duk_ret_t decode_and_write(duk_context* context, void* udata) {
  auto& decoded = *static_cast<Decoded*>(udata);
  duk_push_heap_stash(context);
  duk_get_prop_string(context, -1, "native_parse");
  duk_push_lstring(context, decoded.text->data(), decoded.text->size());
  duk_call(context, 1);
  decoded.is_string = duk_is_string(context, -1) != 0;
  duk_get_global_string(context, "JSON");
  duk_get_prop_string(context, -1, "stringify");
  duk_dup(context, -3);
  duk_call(context, 1);
  return 1;
}

duk_context* reference_engine() {
  static duk_context* context = [] {
    duk_context* made = duk_create_heap_default();
    if (made == nullptr || duk_safe_call(made, prepare_reference, nullptr, 0, 1) != 0) std::abort();
    duk_set_top(made, 0);
    return made;
  }();
  return context;
}

std::u16string as_engine_reads_it(std::string_view text) {
  std::u16string wide(text.size(), u'\0');
  const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                        wide.data(), static_cast<int>(wide.size()));
  wide.resize(units > 0 ? static_cast<std::size_t>(units) : 0);
  return wide;
}

// The reference's JSON text of the value in `text`, as a GBK text; nothing when JSON.parse
// refuses it. `*is_string` tells whether the value was a string.
std::optional<std::string> reference_json(std::string_view text, bool* is_string) {
  const std::string cesu8 = cesu8_from_utf16(as_engine_reads_it(text));
  Decoded decoded{&cesu8, false};
  duk_context* context = reference_engine();
  const bool accepted = duk_safe_call(context, decode_and_write, &decoded, 0, 1) == 0;
  std::optional<std::string> json;
  if (accepted && duk_is_string(context, -1)) {
    duk_size_t length = 0;
    const char* bytes = duk_get_lstring(context, -1, &length);
    std::u16string wide(utf16_length_of_cesu8({bytes, length}), u'\0');
    utf16_from_cesu8({bytes, length}, wide.data());
    const Text gbk = wide_to_ansi(wide.c_str());
    json = std::string(gbk.c_str());
  }
  duk_set_top(context, 0);
  *is_string = decoded.is_string;
  return json;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  register_script_control();
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  JsonDocument document;
  const bool loaded = document.parse(text);
  const Text written = document.to_json();
  for (const char* path : {"data.info[0].hash", "[0]", "a", ""}) {
    const Text read = document.get_text(path);
    const Text read_json = document.get_text(path, true);
  }

  bool is_string = false;
  const std::optional<std::string> expected = reference_json(text, &is_string);
  if (!expected) {
    if (loaded) std::abort();  // something that is not JSON was loaded
    return 0;
  }
  if (is_string) return 0;  // a load evaluates a string's contents
  if (std::string_view(written.c_str()) != *expected) std::abort();
  return 0;
}
