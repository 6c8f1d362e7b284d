// The demo service's answers: UTF-8 JSON texts shaped as the music service's endpoints answer.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "demo/catalog.h"

// One page of a song search:
//   {"status":1,"error":"","data":{"keyword":..,"page":..,"pagesize":..,"total":..,
//    "info":[{"hash":..,"filename":..,"songname":..,"singername":..,"duration":..},...]}}
// `hits` are all the songs found; "info" holds those of page `page` (from 1) of `page_size`.
[[nodiscard]] std::string search_answer(std::string_view keyword, int page, int page_size,
                                        std::span<const Song* const> hits);

// A song's play information: {"status":1,"hash":..,"fileName":..,"timeLength":..,"url":..}.
[[nodiscard]] std::string play_info_answer(const Song& song, std::string_view url);

// A failure: {"status":0,"error":<message>}.
[[nodiscard]] std::string error_answer(std::string_view message);

// `text` as a JSON string: quoted, with quotes, backslashes, control characters and the line
// separators U+2028 and U+2029 escaped, and malformed UTF-8 replaced by U+FFFD.
[[nodiscard]] std::string json_string(std::string_view text);
