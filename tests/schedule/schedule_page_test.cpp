#include "schedule/schedule_page.h"

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_shell.h"

namespace jihe::schedule {
namespace {

TEST(SchedulePageTest, ApplyTypeLayoutMovesTheListAndFillsThePlaceholder) {
  const struct {
    int entry;
    bool focused;
    std::string content, contentAfter;
    ListPlace place;
  } cases[] = {
      {kTypeEntryShutdown, false, "", "", {48, 262}},
      {kTypeEntryShutdown, false, "开会", "开会", {48, 262}},
      {kTypeEntryReminder, false, "", "请输入定时提醒内容", {139, 171}},
      {kTypeEntryReminder, false, "开会", "开会", {139, 171}},
      {kTypeEntryReminder, true, "", "", {139, 171}},  // the agent is typing there
  };
  for (const auto& c : cases) {
    std::string content = c.content;
    EXPECT_EQ(ApplyTypeLayout(c.entry, content, c.focused), c.place) << c.entry << " " << c.content;
    EXPECT_EQ(content, c.contentAfter);
  }
}

TEST(SchedulePageTest, PlaceholderOnFocusAndBlur) {
  EXPECT_EQ(ContentGotFocus("请输入定时提醒内容"), "");
  EXPECT_EQ(ContentGotFocus("请输入定时提醒内容 "), "请输入定时提醒内容 ");
  EXPECT_EQ(ContentGotFocus("开会"), "开会");
  EXPECT_EQ(ContentLostFocus("", true), "请输入定时提醒内容");
  EXPECT_EQ(ContentLostFocus("", false), "");
  EXPECT_EQ(ContentLostFocus("开会", true), "开会");
}

class SchedulePageFixture : public ::testing::Test {
 protected:
  SchedulePageFixture() : clock_({2024, 5, 8, 3, 0, 0, 0}) {}
  ScheduleLoopParts Parts() {
    ScheduleLoopParts parts;
    parts.host = &host_;
    parts.clock = &clock_;
    parts.shell = &shell_;
    parts.newSignal = [] { return platform::NewWorkerSignal(); };
    parts.newDisplay = [] { return std::make_unique<NoDisplay>(); };
    return parts;
  }
  struct NoHost final : ScheduleHost {
    void CloseMainPanel() override {}
    void RowRan(size_t) override {}
  };
  struct NoDisplay final : ReminderDisplay {
    void OpenReminder(const std::string&, const ReminderOptions&) override {}
    void CloseReminder() override {}
  };
  Schedule schedule_;
  NoHost host_;
  testing::FakeClock clock_;
  testing::FakeShell shell_;
};

TEST_F(SchedulePageFixture, AddTimedItemStampsTheMinuteAndRefusesAReminderWithoutContent) {
  SchedulePage page(schedule_, Parts());
  const struct {
    const char* type;
    const char* content;
    int hour, minute;
    bool refused;
  } cases[] = {
      {kTypeReminder, "请输入定时提醒内容", 9, 5, true},
      {kTypeReminder, "", 9, 5, true},
      {kTypeReminder, "喝水", 9, 5, false},
      {kTypeShutdown, "请输入定时提醒内容", 0, 0, false},
      {kTypeShutdown, "", 23, 59, false},
      {kTypeReminder, "喝水", 9, 5, false},  // the same minute again is kept, below the first
  };
  for (const auto& c : cases) {
    const auto refusal = page.AddTimedItem(c.type, c.content, c.hour, c.minute);
    EXPECT_EQ(refusal.has_value(), c.refused) << c.type << c.content;
    if (refusal) {
      EXPECT_EQ(*refusal, "请在下方输入框设置好提醒内容！");
    }
  }
  EXPECT_EQ(schedule_.items, (std::vector<TimedItem>{{"09:05", kTypeReminder, "", "喝水"},
                                                     {"00:00", kTypeShutdown, "", "请输入定时提醒内容"},
                                                     {"23:59", kTypeShutdown, "", ""},
                                                     {"09:05", kTypeReminder, "", "喝水"}}));
  EXPECT_FALSE(page.running());  // adding rows never starts the worker
}

TEST_F(SchedulePageFixture, SwitchRefusesAnEmptyListAndStartsAndStopsTheWorker) {
  SchedulePage page(schedule_, Parts());
  bool ticked = true;
  EXPECT_EQ(page.SetScheduleSwitch(ticked), std::optional<std::string_view>("列表中没有设置定时项目！"));
  EXPECT_FALSE(ticked);
  EXPECT_FALSE(schedule_.on);
  EXPECT_FALSE(page.running());

  ASSERT_FALSE(page.AddTimedItem(kTypeShutdown, "", 23, 0));
  ticked = true;
  EXPECT_FALSE(page.SetScheduleSwitch(ticked));
  EXPECT_TRUE(ticked);
  EXPECT_TRUE(schedule_.on);
  EXPECT_TRUE(page.running());

  ticked = false;
  EXPECT_FALSE(page.SetScheduleSwitch(ticked));
  EXPECT_FALSE(schedule_.on);
  EXPECT_FALSE(page.running());
}

TEST_F(SchedulePageFixture, StartAtLaunchNeedsTheSwitchAndARow) {
  const struct {
    bool on;
    bool rows;
    bool runs;
  } cases[] = {{true, true, true}, {true, false, false}, {false, true, false}};
  for (const auto& c : cases) {
    Schedule schedule;
    schedule.on = c.on;
    if (c.rows) schedule.items.push_back({"23:00", kTypeShutdown, "", ""});
    SchedulePage page(schedule, Parts());
    page.StartAtLaunch();
    EXPECT_EQ(page.running(), c.runs) << c.on << c.rows;
    EXPECT_EQ(schedule.on, c.on);  // a ticked switch over an empty list stays ticked
  }
}

}  // namespace
}  // namespace jihe::schedule
