// The name under which a downloaded song is saved: the entry's file name made safe for the file
// system, and an extension read from the address or the answer's Content-Type.
//
// A safe name is one path component of 1 to 200 bytes in the file system's charset: no "/" or
// "\", no control character (NUL included), no leading "." or "-" and no trailing space or ".",
// cut only at a character boundary. Such a name, put after a folder and "/", names a file inside
// that folder whatever the service sent.
//
//   saved_file_name({"A/B", "H1", "http://h/s/x.mp3", ""}, TerminalCharset::utf8)  ->  "A_B.mp3"
//   saved_file_name({"..", "H1", "http://h/x", "audio/ogg"}, TerminalCharset::utf8)  ->  "H1.ogg"
#pragma once

#include <string>
#include <string_view>

#include "platform/console/terminal_charset.h"

inline constexpr std::size_t kLongestSavedName = 200;

// What the name is made of. `filename` and `hash` are GBK as the answers' members read; `url` is
// the play address; `content_type` the answer's Content-Type value (empty when unknown).
struct SavedNameParts {
  std::string_view filename;
  std::string_view hash;
  std::string_view url;
  std::string_view content_type;
};

// The name to save under, in `charset` (the file system's: the locale's codeset by the same rule
// as the terminal's). The stem is the safe form of the file name, else of the hash, else "song";
// the extension comes from the address's last path segment when it is 1 to 5 ASCII letters or
// digits, else from an audio Content-Type, else there is none. The whole name, extension
// included, is at most kLongestSavedName bytes and is never empty.
[[nodiscard]] std::string saved_file_name(const SavedNameParts& parts, TerminalCharset charset);

// The extension the address alone gives (without the dot); empty when it gives none.
//   "http://h/a/b.mp3?x=1" -> "mp3",   "http://h/a.b/c" -> "",   "http://h/x.toolong" -> ""
[[nodiscard]] std::string_view extension_of_address(std::string_view url);

// The extension of an audio Content-Type (media type in any letter case, parameters ignored):
// audio/mpeg mp3, audio/mp4 m4a, audio/flac flac, audio/wav and audio/x-wav wav, audio/ogg ogg;
// empty for any other.
[[nodiscard]] std::string_view extension_of_content_type(std::string_view content_type);

// Whether `name` is a safe name as described above, in `charset`.
[[nodiscard]] bool is_safe_file_name(std::string_view name, TerminalCharset charset);
