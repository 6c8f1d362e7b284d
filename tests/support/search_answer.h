// Search answers of a chosen size, shaped as the music service's song-search endpoint answers:
// data.info holds the hits, each with a hash, a file name in Chinese and a few numbers. GBK text,
// for loading into a JsonDocument; also valid JSON for any other parser once converted.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// An answer of at least `size` bytes (whole hits are added until it is reached).
inline std::string make_search_answer(std::size_t size) {
  std::string answer = R"({"status":1,"error":"","errcode":0,"data":{"timestamp":1700000000,)"
                       R"("tab":"","forcecorrection":0,"correctiontype":0,"info":[)";
  char hit[512];
  for (unsigned n = 0; answer.size() < size; ++n) {
    std::snprintf(hit, sizeof hit,
                  R"(%s{"hash":"%08X5B0F3E2AC41D9A77%08X","filename":"歌手%u - 月亮代表我的心",)"
                  R"("singername":"歌手%u","songname":"月亮代表我的心","duration":%u,)"
                  R"("bitrate":128,"extname":"mp3","filesize":%u,"album_name":"专辑 \"%u\"",)"
                  R"("privilege":8,"pay_type":0,"isnew":false,"score":%u.5,"group":[]})",
                  n == 0 ? "" : ",", n * 2654435761u, n, n, n, 180 + n % 120, 3932160 + n, n,
                  n % 100);
    answer += hit;
  }
  answer += R"(],"total":100,"istag":0}})";
  return answer;
}
