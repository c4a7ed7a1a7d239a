#include "storage/team_session.h"

#include <algorithm>
#include <utility>

namespace jihe::storage {

TeamPasses::TeamPasses(std::string teamFolder, DataFolder own, std::shared_ptr<platform::FileAccess> share)
    : library_(std::move(teamFolder), std::move(own), std::move(share)), random_(std::random_device{}()) {}

std::optional<TeamUpdate> TeamPasses::Pass() {
  TeamCheck check = library_.Check();
  incomplete_ = check.status == TeamCheckStatus::Incomplete;
  switch (check.status) {
    case TeamCheckStatus::Unchanged:
      // Still away (already told), or a quiet check.
      if (out_) ++outPasses_;
      return std::nullopt;
    case TeamCheckStatus::Incomplete:
      return std::nullopt;
    case TeamCheckStatus::Unreachable:
      out_ = true;
      outPasses_ = 1;
      return TeamUpdate{check.status, std::move(check.content), false};
    case TeamCheckStatus::Reloaded:
      break;
  }
  const bool back = std::exchange(out_, false);
  outPasses_ = 0;
  return TeamUpdate{check.status, std::move(check.content), back};
}

std::chrono::milliseconds TeamPasses::NextWait(std::chrono::milliseconds period) {
  std::chrono::milliseconds wait = period;
  if (incomplete_) {
    wait = std::min(period, kTeamRetryAfterIncomplete);
  } else if (out_) {
    for (int i = 1; i < outPasses_ && wait < kTeamLongestOutageWait; ++i) wait *= 2;
    wait = std::min(wait, kTeamLongestOutageWait);
  }
  const long long spread = std::uniform_int_distribution<long long>(-wait.count() / 5, wait.count() / 5)(random_);
  wait += std::chrono::milliseconds(spread);
  return out_ ? std::min(wait, kTeamLongestOutageWait) : wait;
}

TabPictureFolders PictureFoldersOfTab(library::TabRef tab, const DataFolder& own, const std::optional<TeamContent>& team) {
  if (!tab.team || !team) return {own.ImgFolder(), {}};
  if (team->fromCache) return {team->folder.ImgFolder(), {}};
  return {team->folder.ImgFolder(), TeamCachePictureFolder(own, team->folder.root())};
}

}  // namespace jihe::storage
