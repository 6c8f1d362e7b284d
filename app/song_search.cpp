#include "app/song_search.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>
#include <utility>

#include "app/service_hosts.h"
#include "app/shown_text.h"
#include "http/encodings.h"
#include "http/http_visit.h"
#include "json/json_document.h"
#include "platform/base/ascii.h"
#include "runtime/text_blocks.h"
#include "runtime/value_to_text.h"

namespace {

// The program's own reasons for a search that did not answer, where the client gives none.
constexpr char kNoHeaderBlock[] = "回答没有完整的协议头";  // the answer has no complete header
constexpr char kNotJson[] = "检索的回答不是JSON";          // the search's answer is no JSON

// One answer of the service: its body converted from UTF-8 to GBK, or, when the request failed,
// the empty text and why.
struct Answer {
  Text body;
  Text failure;
};

// Whether http_visit's status output tells of a failed request: a numbered message from "700 "
// to "713 ", or no status at all, which is what an answer without a header block leaves. A body
// that broke off keeps the bytes read so far, so the body alone cannot tell.
bool is_failure(const Text& status) {
  const std::string_view text = status.view();
  if (text.empty()) return true;
  int code = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
  return error == std::errc{} && end == text.data() + 3 && text.size() > 3 && *end == ' ' &&
         code >= 700 && code <= 713;
}

Answer fetch_answer(const Text& url) {
  Text body;
  Text status;
  {
    // What http_visit leaves in its outputs, the raw body bytes above all, goes before the body
    // is converted, so a search holds no more than one copy of an answer besides its conversion.
    HttpVisitVariables fresh;
    body = http_visit_omitting_all(url, fresh);
    status = std::move(fresh.status_text);
  }
  if (is_failure(status)) {
    return {{}, status.empty() ? text_copy(kNoHeaderBlock) : std::move(status)};
  }
  Text converted = utf8_to_ansi(body.get());
  return {std::move(converted), {}};
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
  return text_concat({"http://", service_hosts().search,
                      "/api/v3/search/song?keyword=", keyword.view(), "&page=1&pagesize=5"});
}

bool is_unreserved(unsigned char byte) {
  return is_ascii_alphanumeric(byte) || byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

// The hash as a query value: its UTF-8 bytes, every one but the unreserved percent-encoded. The
// hash comes from the service, and left as it is a "#", "&" or "?" in it would rewrite the
// request.
std::string query_value(const Text& hash) {
  const ByteSet wide = ansi_to_utf16(hash.get(), Terminator::drop);
  const Text utf8 = utf16_to_multibyte(wide.bytes(), CP_UTF8);
  constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string value;
  for (const char c : utf8.view()) {
    const auto byte = static_cast<unsigned char>(c);
    if (is_unreserved(byte)) {
      value += c;
    } else {
      value += '%';
      value += kHexDigits[byte >> 4];
      value += kHexDigits[byte & 0x0F];
    }
  }
  return value;
}

Text play_info_address(const Text& hash) {
  return text_concat({"http://", service_hosts().play_info,
                      "/app/i/getSongInfo.php?hash=", query_value(hash), "&cmd=playInfo"});
}

}  // namespace

bool SongSearch::found_any() const {
  return std::any_of(entries.begin(), entries.end(),
                     [](const SongEntry& entry) { return entry.is_hit(); });
}

SongSearch search_song_entries(const Text& keyword) {
  SongSearch search;
  JsonDocument search_doc;
  JsonDocument info_doc;
  Text url = search_address(keyword);
  Answer answer = fetch_answer(url);
  search.answered = search_doc.parse(answer.body.view()) && answer.failure.empty();
  search.failure = std::move(answer.failure);
  if (!search.answered && search.failure.empty()) {
    search.failure = text_copy(kNotJson);
  }
  // The search answer lives on in its document; its text held through five more requests would
  // add a copy of the largest answer to the peak of every one of them.
  answer.body.reset();

  // Always five entries: a hit the answer does not have still asks for play information, with
  // an empty hash, and lists empty texts.
  for (std::int32_t hit = 1; hit <= kHitsListed; ++hit) {
    SongEntry& entry = search.entries[static_cast<std::size_t>(hit - 1)];
    Text hash = hit_member(search_doc, hit, "hash");
    url = play_info_address(hash);
    answer = fetch_answer(url);
    info_doc.parse(answer.body.view());
    Text filename = hit_member(search_doc, hit, "filename");
    Text address = info_doc.get_text("url");
    if (search.answered) {
      entry.filename = std::move(filename);
      entry.hash = std::move(hash);
      if (answer.failure.empty()) entry.url = std::move(address);
    }
  }

  // Released in the order the interactive program has always released them, not in reverse
  // declaration order: the answer, up to the size of the largest body, goes before the engines
  // are torn down, so the peak of a search is not held through their teardown; then the
  // documents in the order they were built, each leaving the apartment in the order it entered.
  url.reset();
  answer = {};
  search_doc.reset();
  info_doc.reset();
  return search;
}

Text song_listing(const SongSearch& search) {
  Text listing;
  for (std::int32_t hit = 1; hit <= kHitsListed; ++hit) {
    const SongEntry& entry = search.entries[static_cast<std::size_t>(hit - 1)];
    const Text number = value_to_text(TypedArg::integer(hit));
    const Text filename = without_control_characters(text_copy(entry.filename.get()));
    const Text address = without_control_characters(text_copy(entry.url.get()));
    listing = text_concat(
        {listing.view(), number.view(), ".", filename.view(), "\r\n", address.view(), "\r\n"});
  }
  return listing;
}
