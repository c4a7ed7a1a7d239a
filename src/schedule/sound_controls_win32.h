#pragma once
// The sound box's links on the schedule page with their dialogs: "设置提示音" and "试听".
// Both run on the UI thread.
#include <windows.h>

#include <optional>
#include <string>

#include "platform/sound.h"

namespace jihe::schedule {

// ChooseSound: the open-file dialog (audio filter, the desktop as its first folder), then the copy
// into the Data folder (`dataFolder` ends with "\"). The sound box's new text, or nothing when the
// agent cancelled.
std::optional<std::string> ChooseSoundWithDialog(HWND owner, const std::string& dataFolder);

// Audition: plays the sound box's sound once on `player` (the program's PlayOnce voice); for an
// empty box it asks the question instead. The sound box's new text, or nothing when it stays.
std::optional<std::string> AuditionWithQuestion(HWND owner, const std::string& soundBox, platform::SoundPlayer& player);

}  // namespace jihe::schedule
