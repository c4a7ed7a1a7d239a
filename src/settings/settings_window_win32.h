#pragma once
// The Settings window: a view over settings::Options. It exists, hidden when not in use, from the
// panel's creation to the end; closing it applies the follow switches, saves and hides it.
#include <functional>
#include <vector>

#include "platform/window_win32.h"
#include "settings/hotkey.h"
#include "settings/options.h"

namespace jihe::storage {
class Store;
}

namespace jihe::settings {

class SettingsWindow : public platform::Window {
 public:
  // `settingsSaved` hears, after each close, whether config.ini took the options.
  SettingsWindow(Options& options, const storage::Store& store, std::function<void()> applyFollowSwitches,
                 std::function<void(bool)> settingsSaved);

  // Creates the window hidden, owned by `owner`, and loads the stored options.
  bool Create(HWND owner);
  void ShowSettings();
  void CloseSettings();
  void SelectPage(int page);
  // Hears that the team folder was changed and stored, when the window closes.
  void SetTeamFolderChanged(std::function<void()> changed) { teamFolderChanged_ = std::move(changed); }
  // Who registers the search hotkey with the system: true when it took the combination.
  void SetHotkeyChanger(std::function<bool(Hotkey)> changeHotkey) { changeHotkey_ = std::move(changeHotkey); }

 struct Control;  // one row of the window's control table

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept override;

 private:
  void CreateControls();
  void Layout();
  void ApplyFonts();
  void Render();
  void OnClicked(int id);
  void OnOptionClicked(Option option);
  void OnAutostartClicked();
  HWND ControlById(int id) const;
  void BrowseTeamFolder();
  bool KeepTeamFolder();
  void ShowHotkey(Hotkey hotkey);
  void OnHotkeyEdited();

  Options& options_;
  const storage::Store& store_;
  std::function<void()> applyFollowSwitches_;
  std::function<void(bool)> settingsSaved_;
  HWND owner_ = nullptr;
  UINT dpi_ = 96;
  platform::UniqueFont font_;
  platform::UniqueFont linkFont_;
  platform::UniqueBrush pageBrush_;
  HWND settingsTabs_ = nullptr;
  std::vector<std::pair<const Control*, HWND>> controls_;
  int page_ = 0;
  std::function<void()> teamFolderChanged_;
  std::function<bool(Hotkey)> changeHotkey_;
};

}  // namespace jihe::settings
