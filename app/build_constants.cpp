#include "app/build_constants.h"

// The build defines all three (app/CMakeLists.txt, songsearch_program).
const std::string_view kSearchHost = SONGSEARCH_SEARCH_HOST;
const std::string_view kPlayInfoHost = SONGSEARCH_PLAY_HOST;
const std::string_view kProgramVersion = SONGSEARCH_VERSION;
