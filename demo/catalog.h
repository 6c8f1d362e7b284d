// The demo service's catalog: invented songs read from a tab-separated file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unicode/unistr.h>

struct Song {
  std::string hash;  // 32 hexadecimal digits
  std::string title, artist;
  int seconds = 0;

  // The name a search hit carries: "artist - title".
  [[nodiscard]] std::string filename() const { return artist + " - " + title; }
};

class Catalog {
 public:
  // Reads the file at `path`: one song a line, hash, title, artist and length in seconds separated
  // by tabs, in UTF-8; blank lines and lines starting with '#' are skipped. Null, with `error`
  // saying why, when the file cannot be read or a line is malformed.
  [[nodiscard]] static std::optional<Catalog> load(const std::string& path, std::string& error);

  // The songs whose title or artist contains `keyword` (blanks around it ignored) in any letter
  // case, in catalog order. A blank keyword finds nothing.
  [[nodiscard]] std::vector<const Song*> find(std::string_view keyword) const;

  // Every song, in catalog order.
  [[nodiscard]] std::vector<const Song*> all() const;

  // The song with `hash`, in any letter case; null when there is none.
  [[nodiscard]] const Song* by_hash(std::string_view hash) const;

  [[nodiscard]] std::size_t size() const { return songs_.size(); }

 private:
  struct Entry {
    Song song;
    icu::UnicodeString folded_title, folded_artist;
  };
  std::vector<Entry> songs_;
};
