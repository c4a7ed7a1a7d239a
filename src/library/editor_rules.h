#pragma once
// What the phrase and command editors do when the agent confirms.
#include <optional>
#include <string>

#include "library/library.h"

namespace jihe::library {

enum class EditorMode { Add, Edit };

struct EditorTexts {
  const char* title;
  const char* button;
};
EditorTexts TextsOf(GroupKind kind, EditorMode mode);

struct ConfirmRequest {
  GroupKind kind = GroupKind::Phrase;
  EditorMode mode = EditorMode::Add;
  std::string remark;
  std::string content;
  std::string chosenItem;   // the group chooser's selected item
  std::string openingItem;  // edit mode: the item selected when the editor opened
  size_t currentList = 0;   // edit mode: the list the edited row is in, and that row
  size_t editedRow = 0;
};

// The message that refuses a confirmation, or nothing when it may go ahead.
std::optional<std::string> ConfirmRefusal(const ConfirmRequest& request);

// Adds the row, changes it in place, or moves it to the end of another group. Returns the
// index of the group whose list received the row; nothing when the request names no group.
std::optional<size_t> ApplyConfirm(Library& library, const ConfirmRequest& request);

}  // namespace jihe::library
