// Feeds an answer body through what the song search does with it: the bytes arrive in pieces into
// the web request routine's body buffer, become the body text, are converted from UTF-8 to GBK,
// load into a JSON document, and the members the listing shows are read and made safe to show.
// The first byte of the input chooses the sizes of the pieces; the rest is the body.
//
// What must hold, beyond no crash, leak or hang: the buffer gives back exactly the bytes that
// went in, however they were cut; the body text is those bytes up to the first zero byte; the
// charset step decodes again nothing but a page; a shown member holds no control byte but the tab
// and differs from the member read only where one stood.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>
#include <utility>

#include "app/shown_text.h"
#include "http/answer_body.h"
#include "http/declared_charset.h"
#include "http/encodings.h"
#include "json/json_document.h"
#include "platform/installed_components.h"
#include "runtime/text_blocks.h"
#include "runtime/value_to_text.h"

namespace {

constexpr std::size_t kLargestBody = 256 * 1024;

void require(bool condition) {
  if (!condition) std::abort();
}

std::string_view view_of(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The body as it is read: pieces of sizes cycling through 1 to `largest_piece`, of which each
// read delivers all but `shortfall` bytes when it can, as a short read does.
ByteSet read_in_pieces(std::string_view body, std::size_t largest_piece) {
  AnswerBody buffer;
  std::size_t piece = 0;
  for (std::size_t at = 0; at < body.size();) {
    piece = piece % largest_piece + 1;
    const auto offered = static_cast<std::uint32_t>(std::min(piece, body.size() - at));
    const std::span<std::uint8_t> room = buffer.room_for(offered);
    require(room.size() == offered);
    const std::uint32_t shortfall = offered > 1 && piece % 3 == 0 ? 1 : 0;
    std::memcpy(room.data(), body.data() + at, offered - shortfall);
    buffer.commit(offered - shortfall);
    at += offered - shortfall;
  }
  require(buffer.size() == body.size());
  return std::move(buffer).finish();
}

// `shown` is `read` with every control byte but the tab, and only those, turned into "?".
void require_shown_safely(std::string_view read, std::string_view shown) {
  require(read.size() == shown.size());
  for (std::size_t at = 0; at < read.size(); ++at) {
    const auto byte = static_cast<unsigned char>(read[at]);
    const bool control = (byte < 0x20 && byte != '\t') || byte == 0x7F;
    require(shown[at] == (control ? '?' : read[at]));
  }
}

void read_and_show(JsonDocument& document, std::string_view path) {
  Text read = document.get_text(path);
  const Text kept = text_copy(read.get());
  const Text shown = without_control_characters(std::move(read));
  require_shown_safely(kept.view(), shown.view());
}

// The charset step of an answer without a Content-Type reads a page only: a body whose first
// byte that is not a blank is not "<" comes out as it went in, whatever meta tags it holds.
void require_only_a_page_decoded_again(const Text& body_text, const ByteSet& bytes) {
  RegexObject regex;
  AutomationObject stream;
  VariantValue value;
  Text stepped = text_copy(body_text.get());
  apply_charset_of_page(stepped, bytes, "HTTP/1.1 200 OK\r\n\r\n", regex, stream, value);
  const std::string_view text = body_text.view();
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos || text[first] != '<') require(stepped.view() == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > kLargestBody) return 0;
  register_installed_components();
  const std::size_t largest_piece = data[0] % 64 + 1;
  const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);

  const ByteSet bytes = read_in_pieces(body, largest_piece);
  require(view_of(bytes.bytes()) == body);
  const Text body_text = bytes_to_text(bytes.get(), 1);
  require(body_text.view() == body.substr(0, body.find('\0')));
  require_only_a_page_decoded_again(body_text, bytes);

  const Text answer = utf8_to_ansi(body_text.get());
  JsonDocument document;
  document.parse(answer.view());
  for (int hit = 0; hit < 5; ++hit) {
    const Text index = value_to_text(TypedArg::float64(hit));
    for (std::string_view member : {"].hash", "].filename"}) {
      const Text path = text_concat({"data.info[", index.view(), member});
      read_and_show(document, path.view());
    }
  }
  read_and_show(document, "url");
  return 0;
}
