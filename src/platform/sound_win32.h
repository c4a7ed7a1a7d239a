#pragma once
#include <memory>

#include "platform/sound.h"

namespace jihe::platform {

// A voice on the wave-out device (WAV) or the MIDI stream device (MIDI). Without a device, or for
// other data, Play returns false and nothing is heard.
std::unique_ptr<SoundPlayer> NewSoundPlayer();

}  // namespace jihe::platform
