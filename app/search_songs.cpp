#include "app/search_songs.h"

#include "app/song_search.h"

Text search_songs(const Text& keyword) {
  return song_listing(search_song_entries(keyword));
}
