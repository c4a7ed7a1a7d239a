// Sends asked for while one runs, on the virtual clock: the agent's clicks arrive inside the
// running send's waits, as the UI thread's messages do, and go out after it, each on its own row.
#include "app/send_queue.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "fakes/fake_desktop.h"

namespace jihe::app {
namespace {

using testing::EventLog;
using Strings = std::vector<std::string>;

// A waiter whose waits let the agent's clicks in once the virtual clock has reached their time.
class ClickingWaiter final : public platform::Waiter {
 public:
  explicit ClickingWaiter(EventLog& log) : log_(log), inner_(log, false) {}
  void At(std::int64_t ms, std::function<void()> click) { clicks_.emplace_back(ms, std::move(click)); }
  bool WaitPumping(std::int64_t amount, platform::WaitUnit unit, const platform::StopSignal* stop) override {
    const bool waited = inner_.WaitPumping(amount, unit, stop);
    Deliver();
    return waited;
  }
  void ProcessPendingMessages() override { Deliver(); }
  std::unique_ptr<platform::StopSignal> CreateStopSignal() override { return inner_.CreateStopSignal(); }

 private:
  void Deliver() {
    while (!clicks_.empty() && clicks_.front().first <= log_.now()) {
      auto click = std::move(clicks_.front().second);
      clicks_.erase(clicks_.begin());
      click();
    }
  }
  EventLog& log_;
  testing::FakeWaiter inner_;
  std::vector<std::pair<std::int64_t, std::function<void()>>> clicks_;
};

class Panel final : public chat::SendHost {
 public:
  bool Paused() const override { return false; }
  std::optional<std::string> SelectedRowText(chat::PhraseListSource) const override { return selected; }
  platform::WindowId CurrentChatWindow() const override { return chat; }
  void ShowNotice(std::string_view message) override { notices.emplace_back(message); }
  std::optional<std::string> AskValue(std::string_view) override { return "7"; }
  std::optional<std::string> selected;
  platform::WindowId chat = 0;
  Strings notices;
};

TEST(SendQueueTest, SendsAskedForDuringASendFollowItInOrderOnTheirOwnRows) {
  EventLog log;
  testing::FakeDesktop desktop{log};
  testing::FakeClipboard clipboard{log};
  testing::FakeKeyboard keyboard{log};
  ClickingWaiter waiter{log};
  settings::Options options;
  options.Set(settings::Option::自动点发送, true);
  Panel panel;
  desktop.Add({"霁禾客服助手", "JihePanel", {900, 100, 1100, 700}});
  panel.chat = desktop.Add({"客户甲", "TXGuiFoundation", {100, 100, 700, 800}});
  const platform::WindowId otherChat = desktop.Add({"客户乙", "TXGuiFoundation", {100, 100, 700, 800}});
  SendQueue queue(panel, [&](chat::SendHost& host, const SendRequest& request) {
    chat::SendContext ctx{desktop, clipboard, keyboard, waiter, options, host, ""};
    chat::SendPhrase(ctx, request.mode);
  });
  // What the panel does on a click: the row selected now goes with the request.
  std::vector<SendQueue::Asked> asked;
  const auto click = [&](const char* row) {
    panel.selected = row;
    asked.push_back(queue.Ask({chat::SendMode::ListClick, panel.selected, "", "", panel.CurrentChatWindow()}));
  };
  waiter.At(400, [&] {
    click("乙");
    // The agent moves on to another row and another customer: the waiting send keeps its own.
    panel.selected = "别的行";
    panel.chat = otherChat;
  });
  waiter.At(450, [&] {
    click("丙");
    click("丁");
    click("戊");  // a fourth waiting send
  });
  click("甲{输入:单号}");  // the question goes to the panel

  using Asked = SendQueue::Asked;
  EXPECT_EQ(asked, (std::vector<Asked>{Asked::Waiting, Asked::Waiting, Asked::Waiting, Asked::Refused, Asked::Sent}));
  Strings typed;
  for (const std::string& e : log.events())
    if (e.rfind("text ", 0) == 0 || e.rfind("foreground ", 0) == 0 || e == "Ctrl+V" || e == "Enter") typed.push_back(e);
  Strings expected;
  for (const auto& [row, chat] : {std::pair{"甲7", "#2"}, {"乙", "#2"}, {"丙", "#3"}, {"丁", "#3"}})
    expected.insert(expected.end(), {std::string("foreground ") + chat, std::string("text ") + row, "Ctrl+V", "Enter"});
  EXPECT_EQ(typed, expected);
  EXPECT_TRUE(panel.notices.empty());
  EXPECT_FALSE(queue.running());
}

}  // namespace
}  // namespace jihe::app
