#include "app/search_songs.h"

#include <cstdint>
#include <string_view>

#include "app/build_constants.h"
#include "app/shown_text.h"
#include "http/encodings.h"
#include "http/http_visit.h"
#include "json/json_document.h"
#include "runtime/text_blocks.h"
#include "runtime/value_to_text.h"

namespace {

constexpr std::int32_t kHitsListed = 5;

// The body of the answer at `url`, converted from UTF-8 to GBK. Whatever http_visit leaves in its
// output variables goes with them, unread; a failed request gives the empty text.
Text fetch_answer(const Text& url) {
  HttpVisitVariables fresh;
  const Text body = http_visit_omitting_all(url, fresh);
  return utf8_to_ansi(body.get());
}

// The member path of `member` of the search answer's hit `hit` (from 1). The index is written as
// value_to_text writes the double hit - 1.0, so the paths count from data.info[0].
Text hit_member_path(std::int32_t hit, std::string_view member) {
  const Text index = value_to_text(TypedArg::float64(hit - 1.0));
  return text_concat({"data.info[", index.view(), "].", member});
}

Text hit_member(JsonDocument& search_doc, std::int32_t hit, std::string_view member) {
  const Text path = hit_member_path(hit, member);
  return search_doc.get_text(path.view());
}

Text search_address(const Text& keyword) {
  // The keyword goes in exactly as typed: the client escapes what the wire needs.
  return text_concat({"http://", kSearchHost, "/api/v3/search/song?keyword=", keyword.view(),
                      "&page=1&pagesize=5"});
}

Text play_info_address(const Text& hash) {
  return text_concat(
      {"http://", kPlayInfoHost, "/app/i/getSongInfo.php?hash=", hash.view(), "&cmd=playInfo"});
}

}  // namespace

Text search_songs(const Text& keyword) {
  JsonDocument search_doc;
  JsonDocument info_doc;
  Text url = search_address(keyword);
  Text answer = fetch_answer(url);
  search_doc.parse(answer.view());

  // Always five entries: a hit the answer does not have still asks for play information, with
  // an empty hash, and lists empty texts.
  Text listing;
  for (std::int32_t hit = 1; hit <= kHitsListed; ++hit) {
    url = play_info_address(hit_member(search_doc, hit, "hash"));
    answer = fetch_answer(url);
    info_doc.parse(answer.view());
    const Text number = value_to_text(TypedArg::integer(hit));
    const Text filename = without_control_characters(hit_member(search_doc, hit, "filename"));
    const Text address = without_control_characters(info_doc.get_text("url"));
    listing = text_concat(
        {listing.view(), number.view(), ".", filename.view(), "\r\n", address.view(), "\r\n"});
  }

  Text result = text_copy(listing.get());
  url.reset();
  answer.reset();
  search_doc.reset();
  info_doc.reset();
  listing.reset();
  return result;
}
