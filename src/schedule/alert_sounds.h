#pragma once
// The program's two alert sounds, synthesized by our own code the first time they are needed,
// and the choice of a popup's sound from the sound box.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace jihe::schedule {

inline constexpr std::string_view kDefaultSoundText = "默认声音";

// WAV, PCM, 2 channels, 44 100 Hz, 16 bits, 580 000 bytes of samples: the file is 580 044 bytes.
// A rising three-note chime, heard twice.
const std::string& DefaultAlertSound();
// WAV, PCM, 2 channels, 22 050 Hz, 16 bits, 180 000 bytes of samples: the file is 180 044 bytes.
// A two-note "ding-dong".
const std::string& BuiltInPopupSound();

// A whole WAV file of 16-bit PCM around the given samples (interleaved when stereo).
std::string WaveFile(int channels, int sampleRate, std::string_view pcm16);

using ReadFileFn = std::function<std::optional<std::string>(const std::string& path)>;

// The sound a popup plays for this sound box: the built-in popup sound for an empty box, the
// default alert sound for "默认声音", otherwise the file's bytes (empty when it cannot be read).
std::string SoundForBox(const std::string& soundBox, const ReadFileFn& readFile);

}  // namespace jihe::schedule
