#pragma once
// Everything the program keeps between runs, as the running program's working copy.
#include <optional>
#include <string>

#include "library/library.h"
#include "schedule/schedule.h"
#include "settings/options.h"

namespace jihe::storage {

inline constexpr char kDefaultMusic[] = "默认声音";

struct PanelGeometry {
  int height = 0;
  int width = 0;
  int left = 0;
  int top = 0;
  bool operator==(const PanelGeometry&) const = default;
};

struct Workspace {
  library::Library library = library::DesignLibrary();
  schedule::Schedule schedule;
  // Nothing when no size is stored: the panel then opens at its design size, centred.
  std::optional<PanelGeometry> geometry;
  std::string music = kDefaultMusic;  // the reminder sound box
  bool shake = true;                  // "窗口抖动"
  settings::Options options;

  // Back to what a new installation shows (the options included).
  void ResetToDesign();
};

}  // namespace jihe::storage
