// The window system's stand-in: answers from the queue, safe defaults, keys, timers.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "platform/ui/Ui.h"

namespace {

TEST(UiHost, QuestionsTakeQueuedAnswersElseTheSafeReply) {
  plat::UiHost ui;
  std::ostringstream out;
  ui.SetMessageStream(&out);
  ui.QueueAnswer(plat::IDYES);
  EXPECT_EQ(ui.MessageBox("q1", plat::MB_YESNO), plat::IDYES);
  EXPECT_EQ(ui.MessageBox("q2", plat::MB_YESNO), plat::IDNO);
  EXPECT_EQ(ui.MessageBox("q3", plat::MB_OKCANCEL), plat::IDCANCEL);
  EXPECT_EQ(ui.MessageBox("note", plat::MB_OK), plat::IDOK);
  ASSERT_EQ(ui.MessageLog().size(), 4u);
  EXPECT_FALSE(ui.MessageLog()[0].answeredByDefault);
  EXPECT_TRUE(ui.MessageLog()[1].answeredByDefault);
  EXPECT_FALSE(ui.MessageLog()[3].answeredByDefault);
  EXPECT_NE(out.str().find("no answer given: No"), std::string::npos);
  EXPECT_EQ(ui.RunDialog("settings").result, plat::IDCANCEL);
}

TEST(UiHost, TimersFireInTimeOrderAndRepeatUntilKilled) {
  plat::UiHost ui;
  ui.SetMessageStream(nullptr);
  std::vector<std::pair<uint64_t, int>> fired;
  int owner = 0;
  ui.SetTimer(&owner, 1, 1000, [&](int id) { fired.emplace_back(ui.NowMs(), id); });
  ui.SetTimer(&owner, 2, 300, [&](int id) {
    fired.emplace_back(ui.NowMs(), id);
    ui.KillTimer(&owner, 2);  // a one-shot timer kills itself
  });
  ui.Advance(2500);
  std::vector<std::pair<uint64_t, int>> expected = {{300, 2}, {1000, 1}, {2000, 1}};
  EXPECT_EQ(fired, expected);
  EXPECT_EQ(ui.NowMs(), 2500u);
  EXPECT_FALSE(ui.HasTimer(&owner, 2));
}

TEST(UiHost, KeysLeaveTheQueueOneAtATime) {
  plat::UiHost ui;
  EXPECT_EQ(ui.PopKeyDown(), 0);
  ui.PushKeyDown('A');
  ui.PushKeyDown(plat::VK_ESCAPE);
  EXPECT_EQ(ui.PopKeyDown(), 'A');
  EXPECT_EQ(ui.PopKeyDown(), plat::VK_ESCAPE);
  EXPECT_FALSE(ui.HasPendingKey());
}

}  // namespace
