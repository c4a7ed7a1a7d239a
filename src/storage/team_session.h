#pragma once
// What the team library's worker does in one pass, apart from its thread: check the team folder,
// say what the panel must hear, and when to look again. The thread around it is
// team_session_win32.h.
#include <chrono>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "library/team_groups.h"
#include "storage/team_library.h"

namespace jihe::storage {

// The tray balloon of an outage, shown once per outage for kTeamUnreachableBalloonMs; the second
// when no team library was ever read here, so there are no team tabs to go on with.
inline constexpr char kTeamUnreachable[] = "团队短语库暂时无法访问，正在使用上次保存的内容";
inline constexpr char kTeamUnreachableNoCopy[] = "团队短语库暂时无法访问，还没有可用的团队短语";
inline constexpr unsigned kTeamUnreachableBalloonMs = 10'000;

// The longest wait between two checks: the fallback for a share that sends no notifications.
inline constexpr std::chrono::milliseconds kTeamCheckPeriod{10'000};
// The wait after a read met a save under way: the rest of the save is moments away.
inline constexpr std::chrono::milliseconds kTeamRetryAfterIncomplete{1'000};
// While the folder stays away, the wait doubles from one pass to the next up to this.
inline constexpr std::chrono::milliseconds kTeamLongestOutageWait{60'000};

// What the panel hears from the worker.
struct TeamUpdate {
  // Reloaded: `content` is the team folder's new state; the panel shows it.
  // Unreachable: once per outage; `content` is the cache (nothing when none was ever made); the
  // panel shows it and the balloon kTeamUnreachable.
  TeamCheckStatus status = TeamCheckStatus::Reloaded;
  std::optional<TeamContent> content;
  // A Reloaded that ends an outage. Nothing is shown for it.
  bool back = false;
};

class TeamPasses {
 public:
  TeamPasses(std::string teamFolder, DataFolder own,
             std::shared_ptr<platform::FileAccess> share = platform::SystemFileAccess());

  // One check: an update for the panel when there is news, nothing otherwise.
  std::optional<TeamUpdate> Pass();
  // How long the worker waits (for a change, or at most this long) before the next pass: the
  // period, or a moment after a save under way, or while the folder stays away a period that
  // doubles at each pass up to kTeamLongestOutageWait. Each wait is spread by a random 20% either
  // way, so two hundred agents that woke together (a change, the share coming back) drift apart.
  std::chrono::milliseconds NextWait(std::chrono::milliseconds period);
  // The folder could not be reached at the last pass.
  bool out() const { return out_; }

  TeamLibrary& library() { return library_; }

 private:
  TeamLibrary library_;
  bool out_ = false;
  int outPasses_ = 0;  // passes in a row that found the folder away
  bool incomplete_ = false;
  std::minstd_rand random_;
};

// Where the pictures of a row of this tab are: the agent's own img for an own group; for a team
// group, the img of the folder the team library was last read from (the team folder, or the cache
// while the team folder is away), so a send never points at a share that is not there. Read from
// the team folder, a team group's pictures have the cache as their spare: a picture the share no
// longer holds (deleted, or the share gone since the last check) is sent from its copy there.
struct TabPictureFolders {
  std::string img;
  std::string spare;  // empty when there is none
};
TabPictureFolders PictureFoldersOfTab(library::TabRef tab, const DataFolder& own, const std::optional<TeamContent>& team);

}  // namespace jihe::storage
