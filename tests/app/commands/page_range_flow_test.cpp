// The Extract command before its job: the page-range dialog, the count an open end needs, the
// messages that end the command, and command 1325.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/session/command_ids.h"
#include "app/commands/operation_commands.h"
#include "tests/support/job_session.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::JobSession;

class PageRangeFlow : public JobSession {
 protected:
  void Extract(const std::optional<std::string>& ranges) {
    Desktop.PageRangeAnswers.push_back(ranges);
    ASSERT_TRUE(RunCommand(Session, Desktop, kCmdExtract));
  }
};

TEST_F(PageRangeFlow, InputErrorsEndTheCommandWithTheirMessage) {
  struct Case {
    const char* Typed;
    int Pages;
    bool Counted;
    std::string Message;
    const char* PageAfter;
    bool Committed;  // a row counted on the way is an "(Extract)" step
  };
  for (const Case& c : {
           Case{"10-12", 11, true, "Bad Page Input\n  \"10-12\"", "11", false},
           Case{"3-0", 5, true, "Bad Page Input\n  \"3-0\"", "5", false},
           Case{"0", 5, false, "Bad Page Input\n  \"0\"", "?", false},
           Case{"1,,2", 5, false, "Bad Page Input\n  \"1,,2\"", "?", false},
           Case{"5-", 1, false, "This File has only 1 Page", "1", true},
           Case{"2-,x", 4, false, "Bad Page Input\n  \"2-4,x\"", "4", true},
           Case{"1-20000000", 5, false, "Can't Allocate Memories", "?", false},
       }) {
    SCOPED_TRACE(c.Typed);
    Session.List.Rows.clear();
    StartHistory(Session.Undo);
    Desktop = testing::ScriptedDesktop();
    AddRow(Pdf("in.pdf", c.Pages), true, c.Counted);
    Extract(c.Typed);
    EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{c.Message});
    EXPECT_EQ(Desktop.Messages[0].Icon, MessageIcon::Error);
    EXPECT_TRUE(Desktop.Jobs.empty());
    EXPECT_TRUE(Desktop.SaveFileRequests.empty());
    EXPECT_EQ(Row(0).Page, c.PageAfter);
    EXPECT_EQ(Session.Undo.UndoCount, c.Committed ? 1 : 0);
    if (c.Committed) {
      EXPECT_EQ(Session.Undo.UndoLabelId, kCmdExtract);
    }
  }
}

TEST_F(PageRangeFlow, AFileThatCannotBeCountedIsFailureAndItsRowIsKept) {
  AddRow(Bytes("junk.pdf", "not a pdf\n"), true);
  AddRow(Pdf("other.pdf", 2), false);
  Extract("3-");
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Failure"});
  EXPECT_EQ(Pages(), "[X Not PDF?][?]");
  EXPECT_EQ(Session.Undo.UndoLabelId, kCmdExtract);
  EXPECT_TRUE(Desktop.Jobs.empty());
  ASSERT_TRUE(RunCommand(Session, Desktop, kCmdUndo));
  EXPECT_EQ(Pages(), "[?][?]");
}

TEST_F(PageRangeFlow, ALoneDashExtractsEveryPage) {
  AddRow(Pdf("twelve.pdf", 12), true);
  Desktop.SaveFileAnswers.push_back(PathOf("all.pdf"));
  Extract("-");
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"});
  EXPECT_EQ(testing::PdfinfoPages(PathOf("all.pdf")), 12);
}

TEST_F(PageRangeFlow, AnUncountedRowLeavesThePageCheckToTheJob) {
  AddRow(Pdf("eleven.pdf", 11), true);
  Desktop.SaveFileAnswers.push_back(PathOf("x.pdf"));
  Extract("10-12");
  EXPECT_EQ(Desktop.Jobs.size(), 1u);
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Bad Page Input"});
  EXPECT_EQ(Row(0).Page, "11");
}

TEST_F(PageRangeFlow, CancelOrAnEmptyTextDoesNothing) {
  AddRow(Pdf("a.pdf", 3), true);
  Extract(std::nullopt);
  Extract("");
  EXPECT_TRUE(Desktop.Messages.empty());
  EXPECT_TRUE(Desktop.SaveFileRequests.empty());
  EXPECT_EQ(Session.Undo.UndoCount, 0);
  EXPECT_TRUE(Desktop.Unscripted.empty());
}

TEST_F(PageRangeFlow, JapaneseMessages) {
  StartSession(Session, true, Folder);
  AddRow(Pdf("a.pdf", 1), true);
  Extract("2-");
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"１ページからなるファイルです"});
  Session.List.Rows.clear();
  Desktop.Messages.clear();
  AddRow(Pdf("b.pdf", 3), true, true);
  Extract("1 - 9");
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"ページの指定方法に誤りがあります\n  \"1-9\""});
}

}  // namespace
}  // namespace folvex
