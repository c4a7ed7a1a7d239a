#pragma once
// The phrase and command library as the running program's working copy. A group slot is one tab
// of its strip plus its rows; its index is its tab position, hidden slots (deleted groups)
// included, so no group's index changes during a run.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jihe::library {

enum class GroupKind { Phrase, Command };

inline constexpr std::string_view kRemarkSeparator = "┃";

class Group {
 public:
  Group() = default;
  Group(std::string name, std::vector<std::string> rows) : name_(std::move(name)), rows_(std::move(rows)) {}


  const std::string& name() const { return name_; }
  void set_name(std::string name) { name_ = std::move(name); }
  bool hidden() const { return hidden_; }
  void set_hidden(bool hidden) { hidden_ = hidden; }

  // Row texts with their line breaks as CR LF.
  const std::vector<std::string>& rows() const { return rows_; }
  // Any change to the rows goes through here, so the save can tell which groups changed.
  std::vector<std::string>& MutableRows() {
    revision_ = NextRevision();
    return rows_;
  }
  // Unique across all groups of the process: equal revisions mean equal rows.
  std::uint64_t revision() const { return revision_; }

 private:
  std::string name_;
  bool hidden_ = false;
  std::vector<std::string> rows_;
  static std::uint64_t NextRevision();
  std::uint64_t revision_ = NextRevision();
};

class GroupStrip {
 public:
  std::vector<Group>& slots() { return slots_; }
  const std::vector<Group>& slots() const { return slots_; }

  // The list of a group, found by its index; nothing for an index that has no slot.
  Group* ListOfGroup(size_t index) { return index < slots_.size() ? &slots_[index] : nullptr; }
  const Group* ListOfGroup(size_t index) const { return index < slots_.size() ? &slots_[index] : nullptr; }

  // True when a visible group already carries exactly this name (byte for byte).
  bool IsDuplicateName(std::string_view name) const;

  // Appends a slot at the end of the strip and returns its index.
  size_t CreateSlot(std::string name);

  std::vector<size_t> VisibleIndices() const;

 private:
  std::vector<Group> slots_;
};

struct Library {
  GroupStrip phrases;
  GroupStrip commands;

  GroupStrip& strip(GroupKind kind) { return kind == GroupKind::Phrase ? phrases : commands; }
  const GroupStrip& strip(GroupKind kind) const { return kind == GroupKind::Phrase ? phrases : commands; }
};

// The content of a row: the text after the last "┃", or the whole text without one.
std::string_view ContentOf(std::string_view rowText);

// What a new installation shows: the phrase group "分组1" with its help rows and the command
// group "默认" with one sample address.
Group DesignPhraseGroup();
Group DesignCommandGroup();
Library DesignLibrary();

}  // namespace jihe::library
