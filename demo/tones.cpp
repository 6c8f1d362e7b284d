#include "demo/tones.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

constexpr int kSampleRate = 22'050;
constexpr int kNotesPerSecond = 4;
constexpr double kLoudness = 0.3 * 32767;
// A pentatonic scale over an octave from A3, in Hz: any order of its notes sounds agreeable.
constexpr double kScale[] = {220.00, 246.94, 277.18, 329.63, 369.99,
                             440.00, 493.88, 554.37, 659.25, 739.99};

void append_little_endian(std::string& bytes, std::uint32_t value, int size) {
  for (int at = 0; at < size; ++at) {
    bytes += static_cast<char>((value >> (8 * at)) & 0xFF);
  }
}

std::string wav_head(std::uint32_t samples) {
  const std::uint32_t data_size = samples * 2;
  std::string head = "RIFF";
  append_little_endian(head, 36 + data_size, 4);
  head += "WAVEfmt ";
  append_little_endian(head, 16, 4);  // the format chunk's size
  append_little_endian(head, 1, 2);   // PCM
  append_little_endian(head, 1, 2);   // mono
  append_little_endian(head, kSampleRate, 4);
  append_little_endian(head, kSampleRate * 2, 4);  // bytes a second
  append_little_endian(head, 2, 2);                // bytes a sample
  append_little_endian(head, 16, 2);               // bits a sample
  head += "data";
  append_little_endian(head, data_size, 4);
  return head;
}

// The pitch of note `index`: a step through the scale that the seed's bytes choose.
double pitch(std::string_view seed, int index) {
  const std::size_t at = seed.empty() ? 0 : static_cast<std::size_t>(index) % seed.size();
  const auto byte = seed.empty() ? 0 : static_cast<unsigned char>(seed[at]);
  return kScale[(static_cast<std::size_t>(byte) + static_cast<std::size_t>(index) * 3) %
                std::size(kScale)];
}

}  // namespace

std::string tone_wav(std::string_view seed, int seconds) {
  const int note_samples = kSampleRate / kNotesPerSecond;
  const int notes = seconds * kNotesPerSecond;
  std::string wav = wav_head(static_cast<std::uint32_t>(notes * note_samples));
  for (int note = 0; note < notes; ++note) {
    const double frequency = pitch(seed, note);
    for (int sample = 0; sample < note_samples; ++sample) {
      const double t = static_cast<double>(sample) / kSampleRate;
      // Rises over 10 ms and fades to silence by the note's end, so notes do not click.
      const double envelope =
          std::min(1.0, t / 0.01) * (1.0 - static_cast<double>(sample) / note_samples);
      const double value = kLoudness * envelope * std::sin(2 * std::numbers::pi * frequency * t);
      append_little_endian(
          wav, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value))), 2);
    }
  }
  return wav;
}
