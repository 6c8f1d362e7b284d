// One download as the program makes it, in a process of its own so that the download benchmark
// can time it beside the curl command and read its peak memory:
//
//   download_once URL FOLDER      saves URL in FOLDER as "song" with its extension; exit 0 when
//   saved
#include <cstdio>

#include "app/download/download.h"
#include "runtime/text_blocks.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: download_once URL FOLDER\n");
    return 2;
  }
  const SongEntry entry{text_copy("song"), text_copy("0"), text_copy(argv[1])};
  DownloadOptions options;
  options.output_dir = argv[2];
  options.force = true;
  options.progress = ProgressDisplay::none;
  const DownloadOutcome outcome = download_song(entry, options);
  if (outcome.result != DownloadResult::saved) {
    std::fprintf(stderr, "download_once: %s\n", outcome.reason.c_str());
    return 1;
  }
  return 0;
}
