#include "schedule/sound_controls_win32.h"

#include <commdlg.h>
#include <shlobj.h>

#include <vector>

#include "platform/file_system.h"
#include "platform/utf16.h"
#include "schedule/sound_choice.h"

namespace jihe::schedule {

namespace {

// "name|pattern|..." becomes the dialog's "name\0pattern\0...\0\0".
std::wstring DialogFilter(std::string_view filter) {
  std::wstring wide = platform::Widen(filter);
  for (wchar_t& c : wide)
    if (c == L'|') c = L'\0';
  wide.push_back(L'\0');
  return wide;
}

std::optional<std::string> PickSoundFile(HWND owner) {
  wchar_t desktop[MAX_PATH] = L"";
  SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop);
  const std::wstring filter = DialogFilter(kSoundFilter);
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = desktop;
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
  if (!GetOpenFileNameW(&ofn)) return std::nullopt;
  return platform::Narrow(file.data());
}

}  // namespace

std::optional<std::string> ChooseSoundWithDialog(HWND owner, const std::string& dataFolder) {
  return ChooseSound(dataFolder, {[owner] { return PickSoundFile(owner); },
                                  [](const std::string& from, const std::string& to) {
                                    return CopyFileW(platform::Widen(from).c_str(), platform::Widen(to).c_str(),
                                                     FALSE) != 0;
                                  }});
}

std::optional<std::string> AuditionWithQuestion(HWND owner, const std::string& soundBox, platform::SoundPlayer& player) {
  return Audition(soundBox, {[owner] {
                               return MessageBoxW(owner, platform::Widen(kNoSoundQuestion).c_str(), L"友情提醒",
                                                  MB_YESNO) == IDYES;
                             },
                             [](const std::string& path) { return platform::ReadWholeFile(path); }, &player});
}

}  // namespace jihe::schedule
