#include "schedule/alert_sounds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace jihe::schedule {

namespace {

void PutLe(std::string& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

struct Note {
  double startSeconds;
  double frequency;
  double gain;
};

// Bell-like notes: a sine with two soft overtones, a 5 ms attack and an exponential decay, mixed
// and written as 16-bit stereo with the right channel a touch later than the left, which widens
// the sound a little. `frames` sample frames at `rate`.
std::string Chime(int rate, int frames, const std::vector<Note>& notes, double decayPerSecond) {
  constexpr double kPi = 3.14159265358979323846;
  std::vector<double> mono(static_cast<size_t>(frames), 0.0);
  for (const Note& n : notes) {
    const int first = static_cast<int>(n.startSeconds * rate);
    for (int i = first; i < frames; ++i) {
      const double t = static_cast<double>(i - first) / rate;
      const double attack = std::min(1.0, t / 0.005);
      const double envelope = attack * std::exp(-decayPerSecond * t);
      if (envelope < 1e-4 && t > 0.01) break;
      const double w = 2 * kPi * n.frequency * t;
      mono[static_cast<size_t>(i)] +=
          n.gain * envelope * (std::sin(w) + 0.28 * std::sin(2 * w) * std::exp(-3 * t) + 0.1 * std::sin(3 * w));
    }
  }
  // Fade the last 30 ms so that a loop joins without a click.
  const int fade = rate * 30 / 1000;
  for (int i = 0; i < fade && i < frames; ++i) mono[static_cast<size_t>(frames - 1 - i)] *= static_cast<double>(i) / fade;

  const int delay = rate / 2000;  // half a millisecond
  std::string pcm;
  pcm.reserve(static_cast<size_t>(frames) * 4);
  auto sample = [](double v) {
    v = std::max(-1.0, std::min(1.0, v * 0.45));
    return static_cast<std::uint32_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * 32767))));
  };
  for (int i = 0; i < frames; ++i) {
    PutLe(pcm, sample(mono[static_cast<size_t>(i)]), 2);
    PutLe(pcm, sample(i >= delay ? mono[static_cast<size_t>(i - delay)] : 0.0), 2);
  }
  return pcm;
}

}  // namespace

std::string WaveFile(int channels, int sampleRate, std::string_view pcm16) {
  const auto blockAlign = static_cast<std::uint32_t>(channels * 2);
  std::string out;
  out.reserve(44 + pcm16.size());
  out += "RIFF";
  PutLe(out, static_cast<std::uint32_t>(36 + pcm16.size()), 4);
  out += "WAVEfmt ";
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);  // PCM
  PutLe(out, static_cast<std::uint32_t>(channels), 2);
  PutLe(out, static_cast<std::uint32_t>(sampleRate), 4);
  PutLe(out, static_cast<std::uint32_t>(sampleRate) * blockAlign, 4);
  PutLe(out, blockAlign, 2);
  PutLe(out, 16, 2);
  out += "data";
  PutLe(out, static_cast<std::uint32_t>(pcm16.size()), 4);
  out += pcm16;
  return out;
}

const std::string& DefaultAlertSound() {
  // 580 000 bytes of 4-byte frames: 145 000 frames, about 3.3 seconds. C6, E6, G6, then again.
  static const std::string sound = WaveFile(
      2, 44100,
      Chime(44100, 145000,
            {{0.00, 1046.50, 0.8}, {0.18, 1318.51, 0.7}, {0.36, 1567.98, 0.7},
             {1.60, 1046.50, 0.7}, {1.78, 1318.51, 0.6}, {1.96, 1567.98, 0.6}},
            2.6));
  return sound;
}

const std::string& BuiltInPopupSound() {
  // 180 000 bytes: 45 000 frames at 22 050 Hz, about 2 seconds. E6 then C6.
  static const std::string sound =
      WaveFile(2, 22050, Chime(22050, 45000, {{0.00, 1318.51, 0.8}, {0.45, 1046.50, 0.8}}, 2.2));
  return sound;
}

std::string SoundForBox(const std::string& soundBox, const ReadFileFn& readFile) {
  if (soundBox.empty()) return BuiltInPopupSound();
  if (soundBox == kDefaultSoundText) return DefaultAlertSound();
  return readFile(soundBox).value_or(std::string());
}

}  // namespace jihe::schedule
