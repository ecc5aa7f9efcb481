// The command road: the active view before the document before the frame, update
// handlers honoured, refused commands never run; and the gathered table's names.
#include <gtest/gtest.h>

#include <set>

#include "cli/CommandTables.h"
#include "filelist/FlistView.h"
#include "frame/CommandTable.h"
#include "platform/text/CodePage.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

// Each handler leaves its receiver's name in the frame's title.
int Mark(CommandContext& cx, const char* who) {
  cx.frame->SetWindowText(cx.frame->GetWindowText() + who);
  return 0;
}
int InView(CommandContext& cx) { return Mark(cx, "view;"); }
int InList(CommandContext& cx) { return Mark(cx, "list;"); }
int InDoc(CommandContext& cx) { return Mark(cx, "doc;"); }
int InFrame(CommandContext& cx) { return Mark(cx, "frame;"); }
int Fails(CommandContext& cx) { return Mark(cx, "fails;") - 1; }
void Disable(CommandContext&, CCmdUI& ui) { ui.Enable(false); }
void Check(CommandContext&, CCmdUI& ui) { ui.SetCheck(1); }

constexpr CommandEntry kRows[] = {
    {1, "ID_ALL", "", CommandTarget::TextView, InView},
    {1, "ID_ALL", "", CommandTarget::Document, InDoc},
    {1, "ID_ALL", "", CommandTarget::Frame, InFrame},
    {2, "ID_DOC_DISABLES", "", CommandTarget::TextView, InView},
    {2, "ID_DOC_DISABLES", "", CommandTarget::Document, nullptr, Disable},
    {3, "ID_NOT_BUILT", "", CommandTarget::TextView, nullptr},
    {4, "ID_LIST_ONLY", "", CommandTarget::FileList, InList},
    {5, "ID_FAILS", "", CommandTarget::Frame, Fails},
    {6, "ID_CHECKED", "", CommandTarget::Frame, InFrame, Check},
    {7, "ID_HANDLER_IN_FRAME", "", CommandTarget::Frame, InFrame},
    {7, "ID_HANDLER_IN_FRAME", "", CommandTarget::Document, nullptr, Check},
};

class CommandRoadTest : public testenv::DocTest {
 protected:
  CQelView view_{*doc_};
  CFlistView list_{*doc_, 1};
  CommandTables tables_{CommandRows(kRows)};
  CommandContext Context(CommandTarget active) { return {&view_, &list_, doc_.get(), frame_.get(), active}; }
};

TEST_F(CommandRoadTest, ReceiversInRoadOrder) {
  struct Case {
    unsigned id;
    bool view, doc;  // which receivers exist (the frame always does)
    CommandTarget active;
    CommandOutcome outcome;
    const char* ran;
  };
  const Case cases[] = {
      {1, true, true, CommandTarget::TextView, CommandOutcome::Done, "view;"},
      {1, false, true, CommandTarget::TextView, CommandOutcome::Done, "doc;"},
      {1, false, false, CommandTarget::TextView, CommandOutcome::Done, "frame;"},
      {1, true, true, CommandTarget::FileList, CommandOutcome::Done, "doc;"},  // the text view is off the list's road
      {2, true, true, CommandTarget::TextView, CommandOutcome::Disabled, ""},  // the document's update handler rules
      {2, true, false, CommandTarget::TextView, CommandOutcome::Done, "view;"},
      {3, true, true, CommandTarget::TextView, CommandOutcome::NotBuilt, ""},
      {4, true, true, CommandTarget::TextView, CommandOutcome::Unknown, ""},
      {4, true, true, CommandTarget::FileList, CommandOutcome::Done, "list;"},
      {5, true, true, CommandTarget::TextView, CommandOutcome::Failed, "fails;"},
      {7, true, true, CommandTarget::TextView, CommandOutcome::Done, "frame;"},
      {99, true, true, CommandTarget::TextView, CommandOutcome::Unknown, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "id " << c.id << " view " << c.view << " doc " << c.doc);
    CommandContext cx = Context(c.active);
    if (!c.view) cx.view = nullptr;
    if (!c.doc) cx.doc = nullptr;
    frame_->SetWindowText("");
    EXPECT_EQ(RunCommand(tables_, c.id, cx), c.outcome);
    EXPECT_EQ(frame_->GetWindowText(), c.ran);
  }
}

TEST_F(CommandRoadTest, RefusalsSayWhyAndCheckMarksShow) {
  CommandContext cx = Context(CommandTarget::TextView);
  messages_.str("");
  EXPECT_EQ(RunCommand(tables_, 2, cx), CommandOutcome::Disabled);
  EXPECT_NE(messages_.str().find("ID_DOC_DISABLES"), std::string::npos) << messages_.str();
  EXPECT_NE(messages_.str().find("not run"), std::string::npos);
  EXPECT_EQ(RunCommand(tables_, 3, cx), CommandOutcome::NotBuilt);
  EXPECT_NE(messages_.str().find("ID_NOT_BUILT"), std::string::npos);
  EXPECT_EQ(QueryCommand(tables_, 6, cx).m_nCheck, 1);
  EXPECT_TRUE(QueryCommand(tables_, 6, cx).m_bEnabled);
  EXPECT_FALSE(QueryCommand(tables_, 3, cx).m_bEnabled);  // no handler, no update handler
  EXPECT_TRUE(QueryCommand(tables_, 7, cx).m_bEnabled);   // an update handler that only checks
}

TEST_F(CommandRoadTest, FoundByNameOrNumber) {
  EXPECT_EQ(FindCommand(tables_, "id_list_only")->id, 4u);
  EXPECT_EQ(FindCommand(tables_, "5")->name, std::string("ID_FAILS"));
  EXPECT_EQ(FindCommand(tables_, "5x"), nullptr);
  EXPECT_EQ(FindCommand(tables_, ""), nullptr);
  EXPECT_EQ(FindCommand(tables_, "99999999999999999999"), nullptr);
}

// The program's own table: every subsystem's rows together stay addressable.
TEST(CommandTables, NamesAreStableAsciiAndOneIdHasOneName) {
  std::map<unsigned, std::string> nameOfId;
  std::map<std::string, unsigned> idOfName;
  std::set<std::pair<unsigned, CommandTarget>> rows;
  for (CommandRows table : AllCommandTables()) {
    for (const CommandEntry& row : table) {
      const std::string name = row.name;
      SCOPED_TRACE(name);
      ASSERT_GT(name.size(), 3u);
      EXPECT_EQ(name.substr(0, 3), "ID_");
      for (char c : name) EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_');
      EXPECT_TRUE(plat::Utf8ToCp932(row.menuText).has_value());
      EXPECT_TRUE(rows.insert({row.id, row.target}).second) << "two rows of one receiver";
      auto [idIt, newId] = nameOfId.emplace(row.id, name);
      EXPECT_EQ(idIt->second, name);
      auto [nameIt, newName] = idOfName.emplace(name, row.id);
      EXPECT_EQ(nameIt->second, row.id);
    }
  }
  for (const char* listCommand : {"ID_LIST_COMPRESS_ZIP", "ID_LIST_UNPACK", "ID_LIST_BATCH_CONVERT", "ID_LIST_MACRO",
                                  "ID_LIST_FTP_CONNECT"}) {
    const CommandEntry* row = FindCommand(AllCommandTables(), listCommand);
    ASSERT_NE(row, nullptr) << listCommand;
    EXPECT_EQ(row->target, CommandTarget::FileList);
  }
}

}  // namespace
