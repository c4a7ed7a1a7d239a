#pragma once
// The sound box's two links: "设置提示音" (ChooseSound) and "试听" (Audition), without their
// dialogs. The dialogs come in as functions so that the decisions can be tested.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sound.h"
#include "schedule/alert_sounds.h"

namespace jihe::schedule {

inline constexpr std::string_view kSoundFilter = "音频文件(*.MP3;*.WAV;*.MID)|*.MP3;*.WAV;*.MID";
inline constexpr std::string_view kNoSoundQuestion = "还没有设置提示音，是否用系统默认提示音？";

struct ChooseSoundCalls {
  // The open-file dialog; nothing when the agent cancels.
  std::function<std::optional<std::string>()> pickFile;
  // Copies a file over any file of the same name; the result is not looked at.
  std::function<bool(const std::string& from, const std::string& to)> copyFile;
};

// The sound box's new text, or nothing when it stays. The chosen file is copied into the Data
// folder (`dataFolder` ends with its separator) under its own name; the box names the copy.
std::optional<std::string> ChooseSound(const std::string& dataFolder, const ChooseSoundCalls& calls);

struct AuditionCalls {
  std::function<bool()> askYesNo;  // the question kNoSoundQuestion
  ReadFileFn readFile;
  platform::SoundPlayer* player = nullptr;  // PlayOnce
};

// Audition: plays the sound box's sound once. With an empty box it asks whether to use the
// default sound and, on Yes, returns "默认声音" for the box without playing anything.
std::optional<std::string> Audition(const std::string& soundBox, const AuditionCalls& calls);

}  // namespace jihe::schedule
