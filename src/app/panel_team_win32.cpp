// The Main panel's side of the team library: its session's worker reads the team folder and posts
// each new read here, which hands the team's groups to both library views as read-only tabs.

#include "app/main_panel_win32.h"

namespace jihe::app {

// At the start and after the team folder was changed in the Settings window: the cached copy is
// shown at once (local files only), the folder itself is read on the worker.
void MainPanel::StartTeamLibrary() {
  if (!teamSession_) teamSession_ = std::make_unique<storage::TeamSession>(hwnd(), kTeamUpdateMessage, store_.folder());
  ShowTeamContent(teamSession_->Start(storage::LoadTeamFolderSetting(store_.folder())));
}

void MainPanel::OnTeamUpdate(LPARAM ticket) {
  if (!teamSession_) return;
  const std::unique_ptr<storage::TeamUpdate> update = teamSession_->Take(ticket);
  if (!update) return;
  // An outage with no cache keeps what is shown.
  if (update->content) ShowTeamContent(std::move(update->content));
  if (update->status == storage::TeamCheckStatus::Unreachable)
    ShowBalloon(kBalloonTitle, team_ ? storage::kTeamUnreachable : storage::kTeamUnreachableNoCopy, NIIF_WARNING,
                storage::kTeamUnreachableBalloonMs);
}

void MainPanel::ShowTeamContent(std::optional<storage::TeamContent> content) {
  // Where the agent is in a team group is taken from the old groups, before they go.
  const auto phrasePlace = phraseView_.PlaceBeforeTeamReload();
  const auto commandPlace = commandView_.PlaceBeforeTeamReload();
  team_ = std::move(content);
  phraseView_.ShowTeamGroups(team_ ? &team_->library.strip(library::GroupKind::Phrase) : nullptr, phrasePlace);
  commandView_.ShowTeamGroups(team_ ? &team_->library.strip(library::GroupKind::Command) : nullptr, commandPlace);
}

}  // namespace jihe::app
