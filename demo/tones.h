// The demo service's audio: a few seconds of tones made at start, so that a song can be
// downloaded and played without any sample file.
#pragma once

#include <string>
#include <string_view>

// A WAV file (RIFF, PCM, 16-bit mono at 22,050 Hz) of `seconds` seconds: a short tune of soft
// sine tones whose pitches `seed` (a song's hash) chooses, so that songs sound different.
[[nodiscard]] std::string tone_wav(std::string_view seed, int seconds);
