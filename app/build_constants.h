// The constants a build of the program is made with: the music service's two hosts (each "host" or
// "host:port", reached over plain http://) and the program's version. They are fixed when the
// program is built, and build_constants.cpp is the only file that sees how they were given.
#pragma once

#include <string_view>

// The host of the song-search endpoint.
extern const std::string_view kSearchHost;
// The host of the play-info endpoint.
extern const std::string_view kPlayInfoHost;
// The program's version, as --version prints it.
extern const std::string_view kProgramVersion;
