// The merge jobs driven through their commands with real files: every row of the result table,
// the learnt page counts, the success rules, the backup, and the inputs left as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "app/session/command_ids.h"
#include "app/commands/operation_commands.h"
#include "tests/support/job_session.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::JobSession;

class MergeJobs : public JobSession {
 protected:
  void Merge(int id, const std::string& out) {
    Desktop.SaveFileAnswers.push_back(out);
    ASSERT_TRUE(RunCommand(Session, Desktop, id));
  }
  void Reset() {
    Session.List.Rows.clear();
    StartHistory(Session.Undo);
    Desktop = testing::ScriptedDesktop();
    Session.Drivers = JobDrivers();
  }
};

TEST_F(MergeJobs, MergeAllTakesEveryUsableRowAndReplacesThemByTheNewFile) {
  AddRow(Pdf("a.pdf", 2), false);
  AddRow(PathOf("gone.pdf"), true, true);  // marked: skipped
  AddRow(Pdf("b.pdf", 3), false, true);
  const auto before = Files();
  Merge(kCmdMergeAll, PathOf("all.pdf"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"});
  EXPECT_EQ(Names(), "gone.pdf all.pdf*");
  EXPECT_EQ(Pages(), "[X Not Found][5]");
  EXPECT_EQ(testing::PdfinfoPages(PathOf("all.pdf")), 5);
  EXPECT_EQ(ChangedSince(before), std::set<std::string>{"all.pdf"});
  ASSERT_EQ(Desktop.Jobs.size(), 1u);
  EXPECT_EQ(Desktop.Jobs[0].OperationWord, "Merge");
  EXPECT_EQ(Desktop.Jobs[0].Title, "Folvex - Merge");
  EXPECT_FALSE(Desktop.SaveFileRequests[0].AskBeforeOverwrite);
  EXPECT_EQ(Session.Undo.UndoLabelId, kCmdMergeAll);

  ASSERT_TRUE(RunCommand(Session, Desktop, kCmdUndo));
  EXPECT_EQ(Names(), "a.pdf gone.pdf* b.pdf");
}

TEST_F(MergeJobs, MergeSelectedWithTheSettingsOffOpensTheNewFileAndKeepsTheLearntCounts) {
  Session.Settings.OrgFileDelete = false;
  Session.Settings.NewFileRecord = false;
  Session.Settings.NewFileOpen = true;
  AddRow(Pdf("a.pdf", 2), true);
  AddRow(Pdf("skip.pdf", 4), false);
  AddRow(Pdf("c.pdf", 3), true);
  Merge(kCmdMergeSelect, PathOf("sel.pdf"));
  EXPECT_TRUE(Desktop.Messages.empty());
  EXPECT_EQ(Desktop.ShellOpened, std::vector<std::string>{PathOf("sel.pdf")});
  EXPECT_EQ(Names(), "a.pdf* skip.pdf c.pdf*");
  EXPECT_EQ(Pages(), "[2][?][3]");
  EXPECT_EQ(testing::PdfinfoPages(PathOf("sel.pdf")), 5);
  EXPECT_EQ(Desktop.Jobs[0].OperationWord, "Merge(S)");
  EXPECT_EQ(Desktop.Jobs[0].Title, "Folvex - Merge(Selected)");
  EXPECT_TRUE(Desktop.SaveFileRequests[0].AskBeforeOverwrite);
  EXPECT_EQ(Session.Undo.UndoCount, 0);
}

TEST_F(MergeJobs, NewFileRecordAloneDeselectsEveryRowAndAddsTheNewOne) {
  Session.Settings.OrgFileDelete = false;
  AddRow(Pdf("a.pdf", 2), true);
  AddRow(Pdf("b.pdf", 1), true);
  AddRow(Pdf("c.pdf", 1), false);
  Merge(kCmdMergeSelect, PathOf("ab.pdf"));
  EXPECT_EQ(Names(), "a.pdf b.pdf c.pdf ab.pdf*");
  EXPECT_EQ(Pages(), "[2][1][?][3]");
  EXPECT_EQ(Session.Undo.UndoCount, 1);
}

TEST_F(MergeJobs, ProtectedInputsGiveAProtectedOutputAndEncryptedCounts) {
  if (!testing::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  Session.Settings.OrgFileDelete = false;
  // Inputs protected alike: the same file twice.
  const std::string locked = Protected("p.pdf", "", "owner", "128 --use-aes=n", 2);
  AddRow(locked, true);
  AddRow(locked, true);
  Merge(kCmdMergeAll, PathOf("both.pdf"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"});
  EXPECT_EQ(Pages(), "[2 Encrypted][2 Encrypted][4 Encrypted]");
  EXPECT_EQ(testing::PdfText(PathOf("both.pdf")).find("Page 2") != std::string::npos, true);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Row(i).Icon, kIconEncrypted) << i;
  EXPECT_TRUE(Desktop.PasswordRequests.empty());
}

TEST_F(MergeJobs, EveryFailureRowWithItsMessageListChangeAndBackup) {
  if (!testing::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  struct Case {
    const char* Name;
    std::vector<std::string> Inputs;  // all selected
    int Failing;                      // the row the driver blames
    std::optional<int> Injected;
    int InjectedError;
    std::string Message;  // + the failing path when NamesPath
    bool NamesPath;
    const char* Page;  // the failing row afterwards
    int Icon;
    bool Committed;
  };
  const std::string good1 = Pdf("one.pdf", 2);
  const std::string good2 = Pdf("two.pdf", 2);
  const Case cases[] = {
      // Protected with cross-reference streams in a way the engine cannot open (-1000); the list
      // itself counts such a file without its password as "Encrypted".
      {"xref streams", {ProtectedWithStreams("streams.pdf"), good1}, 0, -1, -1000, "This File is Encrypted\n  ", true,
       "Encrypted", kIconEncrypted, true},
      // A protected input whose password is not given: declined.
      {"xref streams, password", {ProtectedWithStreams("streams2.pdf"), good1}, 0, {}, 0, "Failure - Merge\n  ", true,
       "Encrypted", kIconEncrypted, true},
      {"not pdf", {good1, Bytes("junk.pdf", "no PDF here\n"), good2}, 1, {}, 0, "Failure - Merge\n  ", true, "?",
       kIconPdf, false},
      {"missing", {good1, PathOf("gone.pdf"), good2}, 1, {}, 0, "File Not Found\n  ", true, "X Not Found",
       kIconNotFound, true},
      {"declined", {Protected("asks.pdf", "u", "o", "128 --use-aes=n"), good1}, 0, {}, 0, "Failure - Merge\n  ", true,
       "3 Encrypted", kIconEncrypted, true},
      {"not permitted", {Protected("fixed.pdf", "", "", "128 --use-aes=n --modify=none"), good1}, 0, {}, 0,
       "Merge is Not Permitted\n  ", true, "3 Encrypted", kIconEncrypted, true},
      {"different", {Protected("locked.pdf", "", "owner", "128 --use-aes=n"), good1}, 1, {}, 0,
       "Some Files have Different Security\n  ", true, "?", kIconPdf, true},
      {"no input to blame", {good1, good2}, -1, 1, 0, "Error", false, "?", kIconPdf, true},
      {"failure without input", {good1, good2}, -1, -1, -2000, "Error", false, "?", kIconPdf, false},
      {"cancelled", {good1, good2}, -1, 3, 0, "", false, "?", kIconPdf, false},
      {"other", {good1, good2}, -1, 42, 0, "", false, "?", kIconPdf, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Reset();
    Session.Settings.FileBackUp = true;
    if (c.Injected) {
      const int result = *c.Injected;
      const int error = c.InjectedError;
      const int failing = c.Failing;
      Session.Drivers.Merge = [=](EngineState& state, MergeJob& job) {
        job.JobResultIndex = failing;
        state.LastErrorCode = error;
        return result;
      };
    }
    std::filesystem::remove(PathOf("out.bak"));
    Bytes("out.pdf", "the old output\n");
    for (const std::string& input : c.Inputs) {
      ASSERT_FALSE(input.empty());
      AddRow(input, true);
    }
    const auto before = Files();

    Merge(kCmdMergeSelect, PathOf("out.pdf"));
    if (c.Message.empty()) {
      EXPECT_TRUE(Desktop.Messages.empty());
    } else {
      ASSERT_EQ(Desktop.Messages.size(), 1u);
      const std::string path = c.NamesPath ? Row(c.Failing).Path : std::string();
      EXPECT_EQ(Desktop.Messages[0].Text, c.Message + path);
      EXPECT_EQ(Desktop.Messages[0].Icon, MessageIcon::Error);
    }
    // The failing row alone is selected and focused; without one, a named failure deselects all.
    const bool deselects = !c.Message.empty();
    for (int i = 0; i < static_cast<int>(c.Inputs.size()); ++i) {
      EXPECT_EQ(Row(i).Selected, i == c.Failing || !deselects) << i;
      EXPECT_EQ(Row(i).Focused, i == c.Failing) << i;
    }
    if (c.Failing >= 0) {
      EXPECT_EQ(Row(c.Failing).Page, c.Page);
      EXPECT_EQ(Row(c.Failing).Icon, c.Icon);
    }
    EXPECT_EQ(Session.Undo.UndoCount, c.Committed ? 1 : 0);
    // The backup is made only with a new file in place.
    EXPECT_EQ(ChangedSince(before), std::set<std::string>{});
  }
}

TEST_F(MergeJobs, ThePasswordDialogNamesTheInputThatAsks) {
  if (!testing::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  AddRow(Pdf("plain.pdf", 1), false);  // not selected
  const std::string locked = Protected("asks.pdf", "pw", "o1", "128 --use-aes=n", 2);
  AddRow(locked, true);
  AddRow(locked, true);
  Desktop.PasswordAnswers.push_back("pw");
  Merge(kCmdMergeSelect, PathOf("pw.pdf"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"});
  // Asked once: the second input opens with the password remembered from the first.
  ASSERT_EQ(Desktop.PasswordRequests.size(), 1u);
  EXPECT_EQ(Desktop.PasswordRequests[0].FileName, "asks.pdf");
  EXPECT_EQ(Desktop.PasswordRequests[0].Mode, PasswordDialogMode::Engine);
  EXPECT_EQ(Pages(), "[?][4 Encrypted]");
}

TEST_F(MergeJobs, AnOutputThatCannotBeCreatedIsCantSave) {
  AddRow(Pdf("a.pdf", 1), true);
  AddRow(Pdf("b.pdf", 1), true);
  const auto before = Files();
  Merge(kCmdMergeAll, PathOf("missing folder/out.pdf"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Can't Save"});
  EXPECT_EQ(Names(), "a.pdf* b.pdf*");
  EXPECT_EQ(ChangedSince(before), std::set<std::string>{});
}

TEST_F(MergeJobs, CancelInTheMiddleShowsNothingAndLeavesEveryFile) {
  Session.Settings.FileBackUp = true;
  AddRow(Pdf("a.pdf", 2), true);
  AddRow(Pdf("b.pdf", 2), true);
  Bytes("out.pdf", "keep me\n");
  const auto before = Files();
  Desktop.CancelAtLabel = "Reading/Analyzing File:";
  Merge(kCmdMergeAll, PathOf("out.pdf"));
  EXPECT_TRUE(Desktop.Messages.empty());
  EXPECT_EQ(ChangedSince(before), std::set<std::string>{});
  EXPECT_EQ(Names(), "a.pdf* b.pdf*");
}

// An input chosen as the output is refused before anything is read or written; a good output
// with FileBackUp keeps the old one as its backup.
TEST_F(MergeJobs, AnInputChosenAsOutputIsRefusedAndAnOldOutputKeptAsBackup) {
  Session.Settings.FileBackUp = true;
  const std::string a = Pdf("a.pdf", 2);
  AddRow(a, true);
  AddRow(Pdf("b.pdf", 3), true);
  const auto before = Files();
  Merge(kCmdMergeAll, a);
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Can't Save"});
  EXPECT_EQ(ChangedSince(before), std::set<std::string>{});

  Reset();
  Session.Settings.FileBackUp = true;
  AddRow(a, true);
  AddRow(PathOf("b.pdf"), true);
  Bytes("out.pdf", "the old output\n");
  Merge(kCmdMergeAll, PathOf("out.pdf"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"});
  EXPECT_EQ(testing::PdfinfoPages(PathOf("out.pdf")), 5);
  EXPECT_EQ(testing::ReadFile(PathOf("out.bak")), "the old output\n");
}

TEST_F(MergeJobs, JapaneseMessageNamesTheFailingFile) {
  StartSession(Session, true, Folder);
  AddRow(Pdf("a.pdf", 1), true);
  const int missing = AddRow(PathOf("gone.pdf"), true);
  Merge(kCmdMergeAll, PathOf("ja.pdf"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"ファイルが見つかりません\n  " + PathOf("gone.pdf")});
  EXPECT_EQ(Row(missing).Page, "X 不明");
  EXPECT_EQ(Desktop.Jobs[0].Title, "Folvex ファイル結合");
}

}  // namespace
}  // namespace folvex
