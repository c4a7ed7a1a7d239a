#pragma once
// Sound playback from memory: WAV through the wave-out device, standard MIDI files through the
// MIDI stream device. Anything else is not played, and says so only through return values.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jihe::platform {

enum class SoundKind { kNone, kWave, kMidi };

// A RIFF/WAVE file ("RIFF" at 0, "WAVE" at 8, at least 12 bytes) or a standard MIDI file
// ("MThd" at 0, more than 4 bytes).
SoundKind KindOf(std::string_view bytes);

// The parts of a WAV file the wave-out device needs.
struct WaveData {
  std::string_view format;   // the "fmt " chunk's body (a WAVEFORMATEX, perhaps shorter)
  std::string_view samples;  // the "data" chunk's body, cut at the end of the file
};
std::optional<WaveData> ParseWave(std::string_view bytes);

// A MIDI file as the MIDI stream device takes it: events of three 32-bit words each (delta
// ticks, stream id 0, event), short messages and tempo changes only, all tracks merged in time.
struct MidiStream {
  std::uint32_t division = 0;  // ticks per quarter note, from the file header
  std::vector<std::uint32_t> words;
};
std::optional<MidiStream> ParseMidi(std::string_view bytes);

// The event word of a tempo change (microseconds per quarter note) inside MidiStream::words.
inline constexpr std::uint32_t kMidiTempoEvent = 0x01000000;  // MEVT_TEMPO << 24

// One voice: each Play replaces what it played before.
class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // Stops what is playing, then plays `bytes` once or over and over. False when nothing plays:
  // the data is neither WAV nor MIDI, it is damaged, or there is no device to play it on.
  virtual bool Play(std::string bytes, bool loop) = 0;
  virtual void Stop() = 0;
};

}  // namespace jihe::platform
