// The extract job driven through its command with real files: every row of its result table,
// the success rules of the three settings, the backup, and the inputs left as they were.
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

class ExtractJobs : public JobSession {
 protected:
  // Runs Extract on the selected row with the typed ranges, saving to out.
  void Extract(const std::string& ranges, const std::string& out) {
    Desktop.PageRangeAnswers.push_back(ranges);
    Desktop.SaveFileAnswers.push_back(out);
    ASSERT_TRUE(RunCommand(Session, Desktop, kCmdExtract));
  }
};

TEST_F(ExtractJobs, SuccessFollowsTheThreeSettings) {
  struct Case {
    bool OrgFileDelete, NewFileRecord, NewFileOpen;
    const char* Names;
    bool Committed;
    bool Opened;
  };
  for (const Case& c : {Case{true, true, false, "b.pdf new.pdf*", true, false},
                        Case{false, true, false, "a.pdf b.pdf new.pdf*", true, false},
                        Case{true, false, false, "b.pdf", true, false},
                        Case{false, false, true, "a.pdf* b.pdf", false, true}}) {
    SCOPED_TRACE(c.Names);
    Session.List.Rows.clear();
    StartHistory(Session.Undo);
    Desktop = testing::ScriptedDesktop();
    Session.Settings.OrgFileDelete = c.OrgFileDelete;
    Session.Settings.NewFileRecord = c.NewFileRecord;
    Session.Settings.NewFileOpen = c.NewFileOpen;
    AddRow(Pdf("a.pdf", 5), true);
    AddRow(Pdf("b.pdf", 2), false);
    std::filesystem::remove(PathOf("new.pdf"));
    const auto before = Files();

    Extract("4,2", PathOf("new.pdf"));
    EXPECT_EQ(Names(), c.Names);
    EXPECT_EQ(ChangedSince(before), std::set<std::string>{"new.pdf"});
    EXPECT_EQ(testing::PdfinfoPages(PathOf("new.pdf")), 2);
    EXPECT_EQ(Session.Undo.UndoCount, c.Committed ? 1 : 0);
    if (c.NewFileRecord) {
      EXPECT_EQ(Row(static_cast<int>(Session.List.Rows.size()) - 1).Page, "2");
      EXPECT_TRUE(Row(static_cast<int>(Session.List.Rows.size()) - 1).Focused);
    }
    if (c.Opened) {
      EXPECT_EQ(Desktop.ShellOpened, std::vector<std::string>{PathOf("new.pdf")});
      EXPECT_TRUE(Desktop.Messages.empty());
    } else {
      ASSERT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"});
      EXPECT_EQ(Desktop.Messages[0].Icon, MessageIcon::Information);
    }
    EXPECT_TRUE(Desktop.Unscripted.empty());
  }
}

TEST_F(ExtractJobs, OneUndoBringsTheSourceRowBackAndTakesTheNewOneAway) {
  AddRow(Pdf("a.pdf", 3), true);
  Extract("1", PathOf("one.pdf"));
  ASSERT_EQ(Names(), "one.pdf*");
  ASSERT_TRUE(RunCommand(Session, Desktop, kCmdUndo));
  EXPECT_EQ(Names(), "a.pdf*");
}

TEST_F(ExtractJobs, TheJobRunsBehindTheProgressDialogWithTheSaveDialogsRequest) {
  Session.Settings.OutputFolder = Folder + "/start";
  AddRow(Pdf("a.pdf", 3), true);
  Extract("2", PathOf("sub/x.pdf"));
  ASSERT_EQ(Desktop.SaveFileRequests.size(), 1u);
  const FileDialogRequest& save = Desktop.SaveFileRequests[0];
  EXPECT_EQ(save.Title, "");
  EXPECT_EQ(save.FilterName, "pdf(*.pdf)");
  EXPECT_EQ(save.FilterPattern, "*.pdf");
  EXPECT_EQ(save.DefaultExtension, "pdf");
  EXPECT_EQ(save.InitialFolder, Folder + "/start");
  EXPECT_TRUE(save.AskBeforeOverwrite);
  EXPECT_EQ(Session.Settings.OutputFolder, Folder + "/sub");
  ASSERT_EQ(Desktop.Jobs.size(), 1u);
  EXPECT_EQ(Desktop.Jobs[0].JobKind, 0);
  EXPECT_EQ(Desktop.Jobs[0].OperationWord, "Extract");
  EXPECT_EQ(Desktop.Jobs[0].Title, "Folvex - Extract");
  EXPECT_FALSE(Desktop.JobLabels.empty());
}

TEST_F(ExtractJobs, CancellingTheSaveDialogEndsTheCommandQuietly) {
  AddRow(Pdf("a.pdf", 3), true);
  Desktop.PageRangeAnswers.push_back("1-2");
  Desktop.SaveFileAnswers.push_back(std::nullopt);
  RunCommand(Session, Desktop, kCmdExtract);
  EXPECT_TRUE(Desktop.Jobs.empty());
  EXPECT_TRUE(Desktop.Messages.empty());
  EXPECT_EQ(Session.Undo.UndoCount, 0);
}

// Every failure row, each with FileBackUp on and an output that existed: the backup is made only
// with a new file in place, so no file changes.
TEST_F(ExtractJobs, EveryResultRowWithItsMessageListChangeAndBackup) {
  if (!testing::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  struct Case {
    const char* Name;
    std::string Input;
    const char* Ranges;
    std::optional<int> Injected;  // a result no real file gives
    std::optional<std::string> Password;
    std::vector<std::string> Messages;
    const char* Page;  // the source row afterwards
    int Icon;
    bool Committed;
  };
  const Case cases[] = {
      {"beyond", Pdf("eleven.pdf", 11), "10-12", {}, {}, {"Bad Page Input"}, "11", kIconPdf, true},
      {"one page", Pdf("single.pdf", 1), "1", {}, {}, {"This File has only 1 Page"}, "1", kIconPdf, true},
      // The engine's two "encrypted" failures: -1000 (protected in a way it cannot open), and a
      // protected input it refused.
      {"xref streams", ProtectedWithStreams("streams.pdf"), "1", -1, {}, {"This File is Encrypted"}, "Encrypted",
       kIconEncrypted, true},
      {"refused", Protected("aes.pdf", "u", "o", "128 --use-aes=y"), "1", -1, {}, {"This File is Encrypted"}, "?",
       kIconPdf, false},
      {"not pdf", Bytes("junk.pdf", "this is not a PDF file\n"), "1", {}, {}, {"Failure - Page Extract"}, "?",
       kIconPdf, false},
      {"missing", PathOf("gone.pdf"), "1", {}, {}, {"File Not Found"}, "X Not Found", kIconNotFound, true},
      {"declined", Protected("locked.pdf", "u", "o", "128 --use-aes=n"), "1", {}, std::nullopt,
       {"Failure - Page Extract"}, "?", kIconPdf, false},
      {"not permitted", Protected("fixed.pdf", "", "", "128 --use-aes=n --modify=none"), "1", {}, {},
       {"Extract is Not Permitted"}, "3 Encrypted", kIconEncrypted, true},
      {"cancelled", Pdf("long.pdf", 4), "1", 3, {}, {}, "?", kIconPdf, false},
      {"other", Pdf("other.pdf", 4), "1", 77, {}, {}, "?", kIconPdf, false},
  };
  Session.Settings.FileBackUp = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_FALSE(c.Input.empty());
    Session.List.Rows.clear();
    StartHistory(Session.Undo);
    Desktop = testing::ScriptedDesktop();
    if (c.Injected) {
      const int result = *c.Injected;
      const std::string name = c.Name;
      Session.Drivers.Extract = [result, name](EngineState& state, const ExtractJob&) {
        if (name == "xref streams") state.LastErrorCode = -1000;
        if (name == "refused") state.EncryptRef = 0;
        return result;
      };
    } else {
      Session.Drivers = JobDrivers();
    }
    if (std::string(c.Name) == "declined") Desktop.PasswordAnswers.push_back(c.Password);
    std::filesystem::remove(PathOf("out.bak"));
    Bytes("out.pdf", "the old output\n");
    AddRow(c.Input, true);
    const auto before = Files();

    Extract(c.Ranges, PathOf("out.pdf"));
    EXPECT_EQ(Desktop.MessageTexts(), c.Messages);
    for (const MessageRequest& message : Desktop.Messages) EXPECT_EQ(message.Icon, MessageIcon::Error);
    EXPECT_EQ(Row(0).Page, c.Page);
    EXPECT_EQ(Row(0).Icon, c.Icon);
    EXPECT_EQ(Session.Undo.UndoCount, c.Committed ? 1 : 0);
    EXPECT_EQ(ChangedSince(before), std::set<std::string>{});
  }
}

TEST_F(ExtractJobs, AMissingFileIsCommittedOnlyWithOneOfTheListSettings) {
  Session.Settings.OrgFileDelete = false;
  Session.Settings.NewFileRecord = false;
  AddRow(PathOf("gone.pdf"), true);
  Extract("1", PathOf("out.pdf"));
  EXPECT_EQ(Row(0).Page, "X Not Found");
  EXPECT_EQ(Session.Undo.UndoCount, 0);
}

TEST_F(ExtractJobs, AnOutputThatCannotBeCreatedIsCantSave) {
  AddRow(Pdf("a.pdf", 3), true);
  const auto before = Files();
  Extract("1", PathOf("no such folder/out.pdf"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Can't Save"});
  EXPECT_EQ(Names(), "a.pdf*");
  EXPECT_EQ(ChangedSince(before), std::set<std::string>{});
}

TEST_F(ExtractJobs, CancelInTheMiddleLeavesTheOldOutputUnderItsOwnName) {
  Session.Settings.FileBackUp = true;
  AddRow(Pdf("a.pdf", 6), true);
  Bytes("out.pdf", "previous\n");
  const auto before = Files();
  Desktop.CancelAtLabel = "Creating";
  Extract("1-6", PathOf("out.pdf"));
  EXPECT_TRUE(Desktop.Messages.empty());
  EXPECT_EQ(ChangedSince(before), std::set<std::string>{});
  EXPECT_EQ(Names(), "a.pdf*");
}

// The input chosen as the output, or an output whose backup name is the input: nothing is
// written over the input.
TEST_F(ExtractJobs, AnOutputThatWouldReplaceTheInputIsRefused) {
  Session.Settings.FileBackUp = true;
  const struct {
    std::string Input;
    std::string Output;
  } cases[] = {{Pdf("a.pdf", 3), PathOf("a.pdf")}, {Pdf("b.bak", 3), PathOf("b.pdf")}};
  for (const auto& c : cases) {
    Session.List.Rows.clear();
    Desktop = testing::ScriptedDesktop();
    AddRow(c.Input, true);
    const auto before = Files();
    Extract("3,1", c.Output);
    EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Can't Save"}) << c.Output;
    EXPECT_EQ(ChangedSince(before), std::set<std::string>{}) << c.Output;
  }
}

TEST_F(ExtractJobs, APasswordTypedOnceOpensTheFileForTheRestOfTheRun) {
  if (!testing::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  AddRow(Protected("locked.pdf", "user", "owner", "128 --use-aes=n"), true);
  Desktop.PasswordAnswers.push_back("wrong");
  Desktop.PasswordAnswers.push_back("user");
  Extract("1", PathOf("first.pdf"));
  ASSERT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"});
  ASSERT_EQ(Desktop.PasswordRequests.size(), 2u);
  EXPECT_EQ(Desktop.PasswordRequests[0].Mode, PasswordDialogMode::Engine);
  EXPECT_EQ(Desktop.PasswordRequests[0].FileName, "locked.pdf");
  EXPECT_EQ(Row(0).Page, "1 Encrypted");
  EXPECT_EQ(Row(0).Icon, kIconEncrypted);
  EXPECT_EQ(Session.Passwords.RememberedPassword, "user");
  EXPECT_EQ(Session.Passwords.OwnerPassword, "user");

  Session.List.Rows.clear();
  AddRow(PathOf("locked.pdf"), true);
  Extract("2", PathOf("second.pdf"));
  EXPECT_EQ(Desktop.PasswordRequests.size(), 2u);
  EXPECT_EQ(testing::PdfText(PathOf("second.pdf"), "user").find("Page 2") != std::string::npos, true);
}

TEST_F(ExtractJobs, JapaneseMessagesAndSaveTitle) {
  StartSession(Session, true, Folder);
  AddRow(Pdf("a.pdf", 3), true);
  AddRow(PathOf("gone.pdf"), false);
  Extract("1", PathOf("ja.pdf"));
  EXPECT_EQ(Desktop.SaveFileRequests[0].Title, "保存ファイル名を入力");
  EXPECT_EQ(Desktop.Jobs[0].Title, "Folvex ページ抽出");
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"ページ抽出操作を完了しました"});
  Desktop.Messages.clear();
  Session.List.Rows.clear();
  AddRow(PathOf("gone.pdf"), true);
  Extract("1", PathOf("ja2.pdf"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"ファイルが見つかりません"});
  EXPECT_EQ(Row(0).Page, "X 不明");
}

}  // namespace
}  // namespace folvex
