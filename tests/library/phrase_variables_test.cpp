// Variables filled in at the moment of the send: the values, the refusals, and that a value reaches
// the chat window as the characters it is, never as a picture, a file or markup.
#include "library/phrase_variables.h"

#include <gtest/gtest.h>

#include "chat/send_engine.h"
#include "fakes/fake_desktop.h"

namespace jihe::library {
namespace {

using chat::PhraseListSource;
using chat::SendContext;
using chat::SendHost;
using chat::SendMode;
using chat::SendOutcome;

using Strings = std::vector<std::string>;

struct Source : VariableSource {
  std::optional<std::string> clipboard;
  std::string title = "张三";
  std::string className = "TXGuiFoundation";
  std::vector<std::optional<std::string>> answers;  // in the order asked
  Strings asked;
  std::optional<std::string> ClipboardText() override { return clipboard; }
  std::string ChatTitle() override { return title; }
  std::string ChatClass() override { return className; }
  platform::LocalTime Now() override { return {2026, 12, 9, 18, 5, 7, 0}; }
  std::optional<std::string> Ask(std::string_view prompt) override {
    asked.emplace_back(prompt);
    return asked.size() <= answers.size() ? answers[asked.size() - 1] : std::nullopt;
  }
};

TEST(PhraseVariablesTest, Fill) {
  struct Case {
    const char* content;
    std::optional<std::string> clipboard;
    std::vector<std::optional<std::string>> answers;
    FillOutcome outcome;
    const char* plain;  // the filled text as plain text
    Strings asked;
  };
  const Case cases[] = {
      {"今天{日期} {时间}，{星期}", {}, {}, FillOutcome::Filled, "今天2026-12-09 18:05，星期三", {}},
      {"｛对方｝您好，{对方｝", {}, {}, FillOutcome::Filled, "张三您好，张三", {}},
      {"{括号}{输入:}{对方\r\n}{{日期}}", {}, {}, FillOutcome::Filled, "{括号}{输入:}{对方\r\n}{2026-12-09}", {}},
      {"单号{剪贴板}", "[img=a.pngimg]", {}, FillOutcome::Filled, "单号[img=a.pngimg]", {}},
      {"{剪贴板}", std::nullopt, {}, FillOutcome::NoClipboardText, "", {}},
      {"{剪贴板}{输入:问}", "", {"答"}, FillOutcome::NoClipboardText, "", {}},  // refused before asking
      {"{输入:单号}/{输入：姓名}/{输入:单号}", {}, {"SF1", "李四"}, FillOutcome::Filled, "SF1/李四/SF1", {"单号", "姓名"}},
      {"{输入:单号}{输入:姓名}", {}, {"SF1", std::nullopt}, FillOutcome::Canceled, "", {"单号", "姓名"}},
      // Not inside a picture token or a tag, where a value would pick the picture or make markup.
      {"[IMG={剪贴板}img]<font color=\"{对方}\">{对方}</font>1<{时间}", std::nullopt, {}, FillOutcome::Filled,
       "[IMG={剪贴板}img]<font color=\"{对方}\">张三</font>1<18:05", {}},
      // The marks the filled text uses, held by a phrase itself, come out as they were.
      {"满2件<b{对方}，{时间}", {}, {}, FillOutcome::Filled, "满2件<b张三，18:05", {}},  // no ">": no tag
      {"\xEF\xB7\x90" "0\xEF\xB7\x91{时间}", {}, {}, FillOutcome::Filled, "\xEF\xB7\x90" "0\xEF\xB7\x91" "18:05", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    Source source;
    source.clipboard = c.clipboard;
    source.answers = c.answers;
    const FillResult result = FillVariables(c.content, source);
    EXPECT_EQ(result.outcome, c.outcome);
    if (c.outcome == FillOutcome::Filled) {
      EXPECT_EQ(result.phrase.Plain(result.phrase.text()), c.plain);
    }
    EXPECT_EQ(source.asked, c.asked);
  }
  // A value goes into the rich paste escaped, its line breaks as <BR>.
  Source source;
  source.clipboard = "<b>&\"x\"</b>\r\n下一行";
  const FillResult rich = FillVariables("前{剪贴板}后", source);
  EXPECT_EQ(rich.phrase.Html(rich.phrase.text()), "前&lt;b&gt;&amp;&quot;x&quot;&lt;/b&gt;<BR>下一行后");
}

TEST(PhraseVariablesTest, CustomerOfTitle) {
  const struct {
    const char* title;
    const char* className;
    const char* customer;
  } cases[] = {
      {"张三", "TXGuiFoundation", "张三"},
      {"QQ", "TXGuiFoundation", ""},
      {"微信", "WeChatMainWndForPC", ""},
      {"李四 ", "ChatWnd", "李四"},
      {"王五 - 阿里旺旺 - 与王五交谈中", "StandardFrame", "王五"},
      {"阿里旺旺 - tb-赵六", "StandardFrame", "tb-赵六"},
      {"A-1店 - 接待中心", "StandardFrame", "A-1店"},
      {"阿里旺旺 -周九", "StandardFrame", "周九"},
      {"千牛接待中心 - 钱七", "StandardFrame", "钱七"},
      {"孙八 - 接待中心", "StandardFrame", "孙八"},
      {"接待中心", "StandardFrame", ""},
      {"58同城", "Web58", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CustomerOfTitle(c.title, c.className), c.customer) << c.title;
}

class Host : public SendHost {
 public:
  bool Paused() const override { return paused; }
  std::optional<std::string> SelectedRowText(PhraseListSource) const override { return row; }
  platform::WindowId CurrentChatWindow() const override { return chat; }
  void ShowNotice(std::string_view message) override { notices.emplace_back(message); }
  std::optional<std::string> AskValue(std::string_view) override {
    paused = pauseWhileAsked;  // the agent paused the work from the tray while the box was open
    if (!titleWhileAsked.empty()) {  // or went on to another customer's tab
      testing::FakeWindow window = desktop->Get(chat);
      window.text = titleWhileAsked;
      desktop->Set(chat, window);
    }
    return answer;
  }
  bool paused = false;
  bool pauseWhileAsked = false;
  std::string titleWhileAsked;
  testing::FakeDesktop* desktop = nullptr;
  std::string row;
  platform::WindowId chat = 0;
  std::optional<std::string> answer;
  Strings notices;
};

// What the engine writes for phrases with variables; the first three events (wait, foreground,
// wait) and the closing keys are left out.
TEST(PhraseVariablesTest, ValuesAreSentAsText) {
  struct Case {
    const char* name;
    const char* className;
    std::string row;
    std::optional<std::string> clipboard;
    std::optional<std::string> answer;
    SendOutcome outcome;
    std::string firstWrite;  // the first event after the start; empty: nothing at all happened
    bool pauseWhileAsked = false;
    const char* titleWhileAsked = "";
  };
  const std::string token = "[img=a.pngimg]《C:\\报价.xlsx》<b>粗</b>";
  const Case cases[] = {
      {"plain", "TXGuiFoundation", "单号：{剪贴板}", token, {}, SendOutcome::Sent, "text 单号：" + token},
      {"rich", "TXGuiFoundation", "[img=b.pngimg]{剪贴板}", token, {}, SendOutcome::Sent,
       "rich <IMG src=\"file:///img/b.png\">[img=a.pngimg]《C:\\报价.xlsx》&lt;b&gt;粗&lt;/b&gt;"},
      {"no file through a value", "TXGuiFoundation", "《{剪贴板}》", "C:\\a.txt", {}, SendOutcome::Sent,
       "text 《C:\\a.txt》"},
      {"the customer", "ChatWnd", "{对方}您好", {}, {}, SendOutcome::Sent, "click #1 350,650"},
      {"answered", "TXGuiFoundation", "快递单号 {输入:快递单号}", {}, "SF100", SendOutcome::Sent, "text 快递单号 SF100"},
      {"canceled", "TXGuiFoundation", "快递单号 {输入:快递单号}", "我的", std::nullopt, SendOutcome::InputCanceled, ""},
      {"no text", "TXGuiFoundation", "{剪贴板}", std::nullopt, {}, SendOutcome::NoClipboardText, ""},
      {"paused while asked", "TXGuiFoundation", "快递单号 {输入:快递单号}", "我的", "SF100", SendOutcome::Refused, "",
       true},
      {"another customer's tab while asked", "StandardFrame", "{对方}，单号 {输入:单号}", "我的", "SF100",
       SendOutcome::ChatChanged, "", false, "赵六 - 阿里旺旺 - 与赵六交谈中"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::EventLog log;
    testing::FakeDesktop desktop{log};
    testing::FakeClipboard clipboard{log};
    testing::FakeKeyboard keyboard{log};
    testing::FakeWaiter waiter{log};
    settings::Options options;
    options.Set(settings::Option::恢复剪贴板, false);
    if (c.clipboard) clipboard.CopyByAnotherProgram(*c.clipboard);
    Host host;
    host.row = c.row;
    host.answer = c.answer;
    host.pauseWhileAsked = c.pauseWhileAsked;
    host.titleWhileAsked = c.titleWhileAsked;
    host.desktop = &desktop;
    host.chat = desktop.Add({"张三", c.className, {100, 100, 700, 800}});
    SendContext ctx{desktop, clipboard, keyboard, waiter, options, host, "/img"};
    EXPECT_EQ(chat::SendPhrase(ctx, SendMode::ListClick), c.outcome);
    const Strings events = log.events();
    if (c.firstWrite.empty()) {
      EXPECT_EQ(events, Strings{});
      EXPECT_EQ(clipboard.Text(), c.clipboard);
      continue;
    }
    ASSERT_GT(events.size(), 3u);
    EXPECT_EQ(events[3], c.firstWrite);
    if (std::string(c.name) == "the customer") {
      EXPECT_EQ(events[4], "text 张三您好");
    }
  }
}

}  // namespace
}  // namespace jihe::library
