#include "schedule/sound_choice.h"

namespace jihe::schedule {

std::optional<std::string> ChooseSound(const std::string& dataFolder, const ChooseSoundCalls& calls) {
  const std::optional<std::string> chosen = calls.pickFile();
  if (!chosen) return std::nullopt;
  const size_t slash = chosen->find_last_of("\\/");
  const std::string name = slash == std::string::npos ? *chosen : chosen->substr(slash + 1);
  const std::string copy = dataFolder + name;
  calls.copyFile(*chosen, copy);
  return copy;
}

std::optional<std::string> Audition(const std::string& soundBox, const AuditionCalls& calls) {
  if (soundBox.empty()) {
    if (calls.askYesNo()) return std::string(kDefaultSoundText);
    return std::nullopt;
  }
  // PlayOnce: data that is neither WAV nor MIDI (or a file that is gone) stays silent.
  const std::string sound = SoundForBox(soundBox, calls.readFile);
  if (platform::KindOf(sound) != platform::SoundKind::kNone) calls.player->Play(sound, false);
  return std::nullopt;
}

}  // namespace jihe::schedule
