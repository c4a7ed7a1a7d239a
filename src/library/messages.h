#pragma once
// The texts the library's windows show, word for word.
namespace jihe::library::msg {

inline constexpr char kFirstGroupUndeletable[] = "第一个分组不允许被删除！";
inline constexpr char kDeleteQuestionHead[] = "确认要删除：";
inline constexpr char kDeleteQuestionTail[] = " 这个分组吗？";
inline constexpr char kDeleteSecondTitle[] = "清空分组内数据";
inline constexpr char kDeleteSecondTail[] = " 这个分组里的数据也将自动被清空，是否继续？";
inline constexpr char kAddEmptyName[] = "添加失败,分组名不能为空！";
inline constexpr char kNameInUseHead[] = "分组名：";
inline constexpr char kAddNameInUseTail[] = " 和已有的分组名称重复,请修改！";
inline constexpr char kRenameNameInUseTail[] = " 和已有的分组名称重复,请重新修改！";
inline constexpr char kClearQuestion[] = "本次操作将清空当前分组里的所有数据,是否继续操作？";
// During a search the group to be cleared need not be the one shown: the question names it.
inline constexpr char kClearNamedQuestionHead[] = "本次操作将清空分组“";
inline constexpr char kClearNamedQuestionTail[] = "”里的所有数据,是否继续操作？";
inline constexpr char kAddGroupPrompt[] = "请填写分组名称";
inline constexpr char kAddGroupTitle[] = "添加分组";
inline constexpr char kRenamePrompt[] = "请设置新的名称";
inline constexpr char kRenameTitle[] = "修改分组名称";

inline constexpr char kLeaveDragModeFirst[] = "请先退出拖放模式之后再操作！";
inline constexpr char kSelectToEdit[] = "请左键选中要编辑的项目再进行操作！";
inline constexpr char kSelectToDelete[] = "请左键选中要删除的项目再进行操作！";
inline constexpr char kNoDragSortInSearch[] = "搜索结果不能拖放排序，请先按 Esc 清空搜索框！";
inline constexpr char kPhraseContentEmpty[] = "短语备注可为空,快捷短语内容不能为空！";
inline constexpr char kPreviewEmpty[] = "请先在上方添加内容！";
inline constexpr char kFileWillBeReplaced[] = "发现快捷短语内容中已添加有文件,继续添加将替换原有的文件";
inline constexpr char kCloseAfterConfirm[] = "此处勾选则每次添加后将自动关闭本窗口,否则不关闭！";
inline constexpr char kCommandFieldsEmpty[] = "快捷内容和快捷备注不能为空！";
inline constexpr char kCommandContentWrong[] = "快捷命令内容输入有误！必须是网址链接或者是电脑程序路径！";

}  // namespace jihe::library::msg
