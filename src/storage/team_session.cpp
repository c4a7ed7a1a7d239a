#include "storage/team_session.h"

#include <algorithm>
#include <utility>

namespace jihe::storage {

std::optional<TeamUpdate> TeamPasses::Pass() {
  TeamCheck check = library_.Check();
  incomplete_ = check.status == TeamCheckStatus::Incomplete;
  switch (check.status) {
    case TeamCheckStatus::Unchanged:
    case TeamCheckStatus::Incomplete:
      return std::nullopt;
    case TeamCheckStatus::Unreachable:
      out_ = true;
      return TeamUpdate{check.status, std::move(check.content), false};
    case TeamCheckStatus::Reloaded:
      break;
  }
  const bool back = std::exchange(out_, false);
  return TeamUpdate{check.status, std::move(check.content), back};
}

std::chrono::milliseconds TeamPasses::NextWait(std::chrono::milliseconds period) const {
  return incomplete_ ? std::min(period, kTeamRetryAfterIncomplete) : period;
}

std::string ImgFolderOfTab(library::TabRef tab, const DataFolder& own, const std::optional<TeamContent>& team) {
  if (tab.team && team) return team->folder.ImgFolder();
  return own.ImgFolder();
}

}  // namespace jihe::storage
