#include "library/library.h"

#include <atomic>

namespace jihe::library {

std::uint64_t Group::NextRevision() {
  static std::atomic<std::uint64_t> counter{0};
  return ++counter;
}

bool GroupStrip::IsDuplicateName(std::string_view name) const {
  for (const Group& g : slots_)
    if (!g.hidden() && g.name() == name) return true;
  return false;
}

size_t GroupStrip::CreateSlot(std::string name) {
  slots_.emplace_back(std::move(name), std::vector<std::string>{});
  return slots_.size() - 1;
}

std::vector<size_t> GroupStrip::VisibleIndices() const {
  std::vector<size_t> out;
  for (size_t i = 0; i < slots_.size(); ++i)
    if (!slots_[i].hidden()) out.push_back(i);
  return out;
}

std::string_view ContentOf(std::string_view rowText) {
  const size_t at = rowText.rfind(kRemarkSeparator);
  return at == std::string_view::npos ? rowText : rowText.substr(at + kRemarkSeparator.size());
}

Group DesignPhraseGroup() {
  return Group("分组1",
               {
                   "如何管理分组？┃在分组栏任意位置单击鼠标右键,可以对分组进行增加 删除 或者修改！",
                   "如何添加快捷短语┃在列表中任意位置单击鼠标右键弹出菜单,可新增或对短语列表进行操作。",
                   "如何发送短语┃软件默认是双击选中的项目即可进行发送,当然你也可以在顶部软件设置里进行更改，"
                   "可改成单击项目进行发送。另外在列表中右键单击也可以进行发送当前短语。",
                   "发送不发出是什么意思┃就是将快捷短语内容粘贴到聊天软件的输入框 不点击发送按钮,"
                   "便于对快捷短语进行临时修改而设计的一个功能。",
                   "可以调节大小吗┃软件窗口大小可以自由调节，下次打开会按照之前的大小进行显示。",
                   "客服助手是做什么的？┃客服助手是为了解决日常工作中，需要解答大量相同问题而又进行重复性的回答,"
                   "耗时耗力导致工作效率低下的问题。它全自动跟随在QQ 微信 千牛 旺旺等各类聊天软件旁边,"
                   "您只需要将常用的快捷回复短语添加到客服助手里,然后一键发送给对方,回复速度提升300%。",
               });
}

Group DesignCommandGroup() { return Group("默认", {"百度┃https://www.baidu.com/"}); }

Library DesignLibrary() {
  Library lib;
  lib.phrases.slots().push_back(DesignPhraseGroup());
  lib.commands.slots().push_back(DesignCommandGroup());
  return lib;
}

}  // namespace jihe::library
