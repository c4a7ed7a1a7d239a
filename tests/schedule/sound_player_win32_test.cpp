// The Windows voice plays WAV and MIDI and refuses anything else. This machine may have no sound
// device: then Play reports false and nothing hangs; with one, it plays and Stop ends it at once.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/sound_win32.h"
#include "schedule/alert_sounds.h"

namespace jihe::platform {
namespace {

std::string TinyMidi() {
  const std::string track("\0\x90\x48\x60\x60\x80\x48\0\0\xFF\x2F\0", 12);
  return std::string("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x0C", 22) + track;
}

TEST(SoundPlayerWin32Test, PlaysOrFailsQuietlyAndStopsAtOnce) {
  auto player = NewSoundPlayer();
  for (const std::string& sound : {schedule::BuiltInPopupSound(), TinyMidi()}) {
    for (bool loop : {true, false}) {
      const auto before = std::chrono::steady_clock::now();
      player->Play(sound, loop);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      player->Stop();
      player->Stop();
      EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    }
  }
  EXPECT_FALSE(player->Play("ID3\3\0\0\0\0\0\0 an mp3", true));
  EXPECT_FALSE(player->Play(std::string("RIFF\0\0\0\0WAVE", 12), false));  // no format, no samples
  player->Play(schedule::DefaultAlertSound(), true);  // left playing: the voice's end stops it
}

}  // namespace
}  // namespace jihe::platform
