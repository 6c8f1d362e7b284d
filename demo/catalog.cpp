#include "demo/catalog.h"

#include <strings.h>
#include <charconv>
#include <fstream>

namespace {

icu::UnicodeString folded(std::string_view utf8) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), utf8.size())).foldCase();
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string_view> fields_of(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t tab; (tab = line.find('\t')) != std::string_view::npos;) {
    fields.push_back(line.substr(0, tab));
    line.remove_prefix(tab + 1);
  }
  fields.push_back(line);
  return fields;
}

std::optional<Song> song_of(std::string_view line) {
  const std::vector<std::string_view> fields = fields_of(line);
  if (fields.size() != 4 || fields[0].size() != 32) return std::nullopt;
  Song song{std::string(fields[0]), std::string(fields[1]), std::string(fields[2])};
  const auto [end, failure] =
      std::from_chars(fields[3].data(), fields[3].data() + fields[3].size(), song.seconds);
  if (failure != std::errc{} || end != fields[3].data() + fields[3].size()) return std::nullopt;
  return song;
}

}  // namespace

std::optional<Catalog> Catalog::load(const std::string& path, std::string& error) {
  std::ifstream file(path);
  if (!file) {
    error = "cannot read " + path;
    return std::nullopt;
  }
  Catalog catalog;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (trimmed(line).empty() || line.front() == '#') continue;
    std::optional<Song> song = song_of(line);
    if (!song) {
      error = path + ":" + std::to_string(number) + ": not hash, title, artist and seconds";
      return std::nullopt;
    }
    catalog.songs_.push_back({*song, folded(song->title), folded(song->artist)});
  }
  return catalog;
}

std::vector<const Song*> Catalog::find(std::string_view keyword) const {
  std::vector<const Song*> hits;
  const std::string_view sought = trimmed(keyword);
  if (sought.empty()) return hits;
  const icu::UnicodeString folded_sought = folded(sought);
  for (const Entry& entry : songs_) {
    if (entry.folded_title.indexOf(folded_sought) >= 0 ||
        entry.folded_artist.indexOf(folded_sought) >= 0) {
      hits.push_back(&entry.song);
    }
  }
  return hits;
}

std::vector<const Song*> Catalog::all() const {
  std::vector<const Song*> songs;
  for (const Entry& entry : songs_)
    songs.push_back(&entry.song);
  return songs;
}

const Song* Catalog::by_hash(std::string_view hash) const {
  for (const Entry& entry : songs_) {
    if (entry.song.hash.size() == hash.size() &&
        ::strncasecmp(entry.song.hash.data(), hash.data(), hash.size()) == 0) {
      return &entry.song;
    }
  }
  return nullptr;
}
