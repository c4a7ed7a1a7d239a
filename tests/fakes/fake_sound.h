#pragma once
// A sound player without a device: it records each play and stop.
#include <string>
#include <vector>

#include "platform/sound.h"

namespace jihe::testing {

class FakeSoundPlayer final : public platform::SoundPlayer {
 public:
  struct Played {
    std::string bytes;
    bool loop = false;
  };
  bool Play(std::string bytes, bool loop) override {
    played.push_back({std::move(bytes), loop});
    playing = true;
    return true;
  }
  void Stop() override {
    ++stops;
    playing = false;
  }

  std::vector<Played> played;
  int stops = 0;
  bool playing = false;
};

}  // namespace jihe::testing
