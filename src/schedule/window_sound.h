#pragma once
// The sound that belongs to a window: a block of data and a play mode. Setting either stops
// what is playing and starts again under the new settings; the window's end stops it.
#include <string>

#include "platform/sound.h"

namespace jihe::schedule {

enum class PlayMode { kLoop = 0, kOnce = 1, kSilent = 2 };

class WindowSound {
 public:
  explicit WindowSound(platform::SoundPlayer& player) : player_(player) {}
  ~WindowSound() { player_.Stop(); }
  WindowSound(const WindowSound&) = delete;
  WindowSound& operator=(const WindowSound&) = delete;

  void SetData(std::string data) {
    data_ = std::move(data);
    Restart();
  }
  void SetMode(PlayMode mode) {
    mode_ = mode;
    Restart();
  }
  PlayMode mode() const { return mode_; }
  const std::string& data() const { return data_; }
  // True while the player took the current data (a device played it).
  bool playing() const { return playing_; }

 private:
  void Restart() {
    player_.Stop();
    playing_ = false;
    if (mode_ == PlayMode::kSilent || platform::KindOf(data_) == platform::SoundKind::kNone) return;
    playing_ = player_.Play(data_, mode_ == PlayMode::kLoop);
  }

  platform::SoundPlayer& player_;
  std::string data_;
  PlayMode mode_ = PlayMode::kLoop;
  bool playing_ = false;
};

}  // namespace jihe::schedule
