#include "library/group_ops.h"

#include <gtest/gtest.h>

#include "library/editor_rules.h"
#include "library/row_rules.h"

namespace jihe::library {
namespace {

GroupStrip ThreeGroups() {
  GroupStrip strip;
  for (const char* name : {"分组1", "售前", "售后"}) strip.ListOfGroup(AddGroup(strip, name))->MutableRows() = {name};
  return strip;
}

TEST(GroupOpsTest, NamesAreCheckedAgainstVisibleGroups) {
  GroupStrip strip = ThreeGroups();
  EXPECT_EQ(AddGroupRefusal(strip, ""), "添加失败,分组名不能为空！");
  EXPECT_EQ(AddGroupRefusal(strip, "售前"), "分组名：售前 和已有的分组名称重复,请修改！");
  EXPECT_EQ(AddGroupRefusal(strip, "新组"), std::nullopt);
  EXPECT_EQ(AddGroupRefusal(strip, "售前 "), std::nullopt);  // no trimming
  EXPECT_EQ(RenameGroupRefusal(strip, "售后"), "分组名：售后 和已有的分组名称重复,请重新修改！");
  EXPECT_EQ(RenameGroupRefusal(strip, ""), std::nullopt);

  DeleteGroup(strip, 1);
  EXPECT_EQ(AddGroupRefusal(strip, "售前"), std::nullopt);  // a deleted group's name is free again
  EXPECT_EQ(AddGroup(strip, "售前"), 3u);                    // after the hidden slot
  AddGroup(strip, "QQ");
  EXPECT_EQ(AddGroupRefusal(strip, "qq"), std::nullopt);     // letter case counts
  EXPECT_NE(AddGroupRefusal(strip, "售前"), std::nullopt);
}

TEST(GroupOpsTest, DeleteKeepsIndices) {
  GroupStrip strip = ThreeGroups();
  EXPECT_EQ(DeleteGroupRefusal(0), "第一个分组不允许被删除！");
  EXPECT_EQ(DeleteGroupRefusal(1), std::nullopt);
  EXPECT_EQ(DeleteFirstQuestion("售前"), "确认要删除：售前 这个分组吗？");
  EXPECT_EQ(DeleteSecondQuestion("售前"), "售前 这个分组里的数据也将自动被清空，是否继续？");
  DeleteGroup(strip, 1);
  EXPECT_TRUE(strip.ListOfGroup(1)->hidden());
  EXPECT_TRUE(strip.ListOfGroup(1)->rows().empty());
  EXPECT_EQ(strip.ListOfGroup(2)->rows(), std::vector<std::string>{"售后"});
  EXPECT_EQ(strip.VisibleIndices(), (std::vector<size_t>{0, 2}));
  EXPECT_EQ(FirstVisibleIndex(strip), 0u);
  DeleteGroup(strip, 0);  // never
  EXPECT_FALSE(strip.ListOfGroup(0)->hidden());
}

TEST(EditorRulesTest, Refusals) {
  struct Case {
    GroupKind kind;
    const char* remark;
    const char* content;
    std::optional<std::string> refusal;
  } cases[] = {
      {GroupKind::Phrase, "", "内容", std::nullopt},
      {GroupKind::Phrase, "备注", "", "短语备注可为空,快捷短语内容不能为空！"},
      {GroupKind::Command, "", "https://a.cn", "快捷内容和快捷备注不能为空！"},
      {GroupKind::Command, "百度", "", "快捷内容和快捷备注不能为空！"},
      {GroupKind::Command, "记事本", "notepad", "快捷命令内容输入有误！必须是网址链接或者是电脑程序路径！"},
      {GroupKind::Command, "记事本", "C:\\Windows\\notepad.exe", std::nullopt},
  };
  for (const auto& c : cases) {
    ConfirmRequest r;
    r.kind = c.kind;
    r.remark = c.remark;
    r.content = c.content;
    EXPECT_EQ(ConfirmRefusal(r), c.refusal) << c.content;
  }
}

TEST(EditorRulesTest, AddEditAndMove) {
  Library lib;
  lib.phrases = ThreeGroups();
  lib.phrases.ListOfGroup(1)->MutableRows() = {"a", "b", "c"};

  ConfirmRequest add{GroupKind::Phrase, EditorMode::Add, "", "新", ChooserItemText("售后", 2), "", 0, 0};
  EXPECT_EQ(ApplyConfirm(lib, add), 2u);
  EXPECT_EQ(ApplyConfirm(lib, add), 2u);  // the dialog stayed open: a second copy
  EXPECT_EQ(lib.phrases.ListOfGroup(2)->rows(), (std::vector<std::string>{"售后", "新", "新"}));

  const std::string opening = ChooserItemText("售前", 1);
  ConfirmRequest edit{GroupKind::Phrase, EditorMode::Edit, "备", "B", opening, opening, 1, 1};
  ApplyConfirm(lib, edit);
  EXPECT_EQ(lib.phrases.ListOfGroup(1)->rows(), (std::vector<std::string>{"a", "备┃B", "c"}));

  ConfirmRequest move{GroupKind::Phrase, EditorMode::Edit, "", "A", ChooserItemText("分组1", 0), opening, 1, 0};
  ApplyConfirm(lib, move);
  EXPECT_EQ(lib.phrases.ListOfGroup(1)->rows(), (std::vector<std::string>{"备┃B", "c"}));
  EXPECT_EQ(lib.phrases.ListOfGroup(0)->rows(), (std::vector<std::string>{"分组1", "A"}));

  EXPECT_EQ(TextsOf(GroupKind::Command, EditorMode::Edit).title, std::string("编辑快捷"));
  EXPECT_EQ(TextsOf(GroupKind::Phrase, EditorMode::Add).button, std::string("确认添加"));
}

}  // namespace
}  // namespace jihe::library
