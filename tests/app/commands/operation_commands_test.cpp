// The command handler: operations refused by their menu rule or a splitter run, a protected row
// whose count failed, the ids left to the window and the splitter, and the security and password
// dialog helpers.
#include "app/commands/operation_commands.h"

#include <gtest/gtest.h>

#include "app/session/command_ids.h"
#include "app/commands/password_dialog.h"
#include "app/commands/security_dialog.h"
#include "tests/support/job_session.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::JobSession;

class OperationCommands : public JobSession {};

// Each operation with a list its rule refuses: nothing is asked and nothing runs.
TEST_F(OperationCommands, RefusedOperationsDoNothing) {
  struct Case {
    int Id;
    std::vector<std::pair<int, bool>> Rows;  // pages (0 uncounted), selected
  };
  for (const Case& c : {
           Case{kCmdExtract, {{3, true}, {4, true}}},         // two selected
           Case{kCmdExtract, {{1, true}}},                    // counted, one page
           Case{kCmdMergeAll, {{3, false}}},                  // one usable row
           Case{kCmdMergeSelect, {{3, true}, {4, false}}},    // one selected
           Case{kCmdSetSecurity, {{3, false}}},               // nothing selected
           Case{kCmdRemoveSecurity, {{3, true}}},             // not encrypted
       }) {
    SCOPED_TRACE(c.Id);
    Session.List.Rows.clear();
    Desktop = testing::ScriptedDesktop();
    for (const auto& [pages, selected] : c.Rows) {
      ListEntry row;
      row.Name = row.Path = PathOf("f.pdf");
      row.Page = pages == 0 ? "?" : std::to_string(pages);
      row.Selected = selected;
      Session.List.Rows.push_back(row);
    }
    EXPECT_TRUE(RunCommand(Session, Desktop, c.Id));
    EXPECT_TRUE(Desktop.Unscripted.empty());
    EXPECT_TRUE(Desktop.Jobs.empty());
    EXPECT_TRUE(Desktop.Messages.empty());
  }
}

TEST_F(OperationCommands, ASplitterRunRefusesEveryOperation) {
  AddRow(PathOf("a.pdf"), true);
  AddRow(PathOf("b.pdf"), true);
  Session.Splitter.Run = 1;
  for (int id : {kCmdExtract, kCmdMergeAll, kCmdMergeSelect, kCmdSetSecurity, kCmdRemoveSecurity}) {
    EXPECT_TRUE(RunCommand(Session, Desktop, id));
  }
  EXPECT_TRUE(Desktop.Unscripted.empty());
  EXPECT_EQ(Session.Undo.UndoCount, 0);
}

// A file with a user password and cross-reference streams cannot be counted without its password:
// its row shows the bare "Encrypted" (暗号化). It is encrypted for every rule: Set Security refuses
// it, Remove Security takes it and writes its unprotected copy.
TEST_F(OperationCommands, BareEncryptedRowIsRemovedNotSet) {
  if (!testing::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  struct Case {
    bool Japanese;
    const char* Page;
    const char* Done;
  };
  for (const Case& c : {Case{false, "Encrypted", "Done"}, Case{true, "暗号化", "セキュリティ解除を完了しました"}}) {
    SCOPED_TRACE(c.Page);
    Session.Japanese = Session.List.Japanese = c.Japanese;
    Session.List.Rows.clear();
    Session.Passwords = RunPasswords();
    Desktop = testing::ScriptedDesktop();
    const std::string name = c.Japanese ? "locked-ja" : "locked-en";
    const std::string input = ProtectedWithStreams(name + ".pdf", 4);
    ASSERT_FALSE(input.empty());
    AddRow(input, true, true);
    ASSERT_EQ(Row(0).Page, c.Page);
    const CommandContext context = CurrentContext(Session);
    EXPECT_FALSE(CommandEnabled(kCmdSetSecurity, context));
    EXPECT_TRUE(CommandEnabled(kCmdRemoveSecurity, context));

    EXPECT_TRUE(RunCommand(Session, Desktop, kCmdSetSecurity));
    EXPECT_TRUE(Desktop.Jobs.empty());
    EXPECT_TRUE(Desktop.Unscripted.empty());  // the security dialog was not shown

    Desktop.PasswordAnswers.push_back("o");
    EXPECT_TRUE(RunCommand(Session, Desktop, kCmdRemoveSecurity));
    EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{c.Done});
    ASSERT_EQ(Desktop.Jobs.size(), 1u);
    EXPECT_EQ(Desktop.Jobs[0].OperationWord, "Decrypt");
    EXPECT_EQ(Names(), name + "-r.pdf*");
    EXPECT_EQ(Pages(), "[4]");
    const std::string output = PathOf(name + "-r.pdf");
    EXPECT_TRUE(testing::CheckWithQpdf(output).Clean);
    EXPECT_NE(testing::RunCommand("qpdf --is-encrypted " + testing::Quoted(output)).ExitCode, 0);
    EXPECT_EQ(testing::PageText(output, 4), testing::PageText(input, 4, "u"));
  }
}

TEST_F(OperationCommands, IdsOfTheWindowAndTheSplitterAreLeftToThem) {
  for (int id : {kCmdExit, kCmdGeneralSetting, kCmdSplitAll, kCmdSplitPageInput, kCmdSplitterNotify}) {
    EXPECT_FALSE(RunCommand(Session, Desktop, id)) << id;
  }
  EXPECT_TRUE(RunCommand(Session, Desktop, kCmdSelectAllKey));
  EXPECT_TRUE(RunCommand(Session, Desktop, kCmdDeleteKey));  // nothing to delete: nothing happens
  EXPECT_TRUE(RunCommand(Session, Desktop, kCmdOpenKey));
  EXPECT_TRUE(Desktop.ShellOpened.empty());
}

TEST(SecurityDialog, ValuesAreCutToTheirLengthsAndPermissionsAdded) {
  AppSession session;
  SecurityDialogValues values;
  values.OpenPassword = std::string(40, 'u');
  values.OwnerPassword = std::string(29, 'o') + "パスワ";  // 32 characters
  values.OutputFolder = std::string(300, 'f');
  values.Print = true;
  values.AddAnnotations = true;
  StoreSecurityDialogValues(session, values);
  EXPECT_EQ(session.Passwords.OpenPassword, std::string(31, 'u'));
  EXPECT_EQ(session.Passwords.OwnerPassword, std::string(29, 'o') + "パス");
  EXPECT_EQ(session.Settings.OutputFolder.size(), 258u);
  EXPECT_EQ(PermissionSelectionOf(session.Settings), 9);
  session.Settings.bModify = true;
  session.Settings.bCopy = true;
  EXPECT_EQ(PermissionSelectionOf(session.Settings), 15);
}

TEST(SecurityDialog, CancelLeavesEveryValueAsItWas) {
  AppSession session;
  session.Settings.OutputFolder = "C:\\out";
  session.Passwords.OwnerPassword = "kept";
  testing::ScriptedDesktop desktop;
  desktop.SecurityAnswers.push_back(std::nullopt);
  EXPECT_FALSE(AskSecurityInputs(session, desktop));
  EXPECT_EQ(session.Settings.OutputFolder, "C:\\out");
  EXPECT_EQ(session.Passwords.OwnerPassword, "kept");
}

// Equal passwords ask first, with No as the button Enter presses; No shows the dialog again.
TEST(SecurityDialog, EqualPasswordsQuestionDefaultsToNo) {
  struct Case {
    bool Japanese;
    const char* Text;
  };
  for (const Case& c : {Case{false, "If Owner Password is the same as User Password,\nOwner Password is Not setting."},
                        Case{true, "ユーザーパスワードと同じオーナーパスワードを入力すると、\nオーナーパスワード未設定とみなされます\n"
                                   "よろしいですか"}}) {
    SCOPED_TRACE(c.Japanese);
    AppSession session;
    session.Japanese = c.Japanese;
    testing::ScriptedDesktop desktop;
    SecurityDialogValues same;
    same.OpenPassword = same.OwnerPassword = "same";
    desktop.SecurityAnswers = {same, same};
    desktop.MessageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
    EXPECT_TRUE(AskSecurityInputs(session, desktop));
    ASSERT_EQ(desktop.Messages.size(), 2u);
    for (const MessageRequest& question : desktop.Messages) {
      EXPECT_EQ(question.Text, c.Text);
      EXPECT_EQ(question.Icon, MessageIcon::Question);
      EXPECT_EQ(question.Buttons, MessageButtons::YesNo);
      EXPECT_EQ(question.DefaultButton, MessageDefaultButton::Second);
    }
    EXPECT_TRUE(desktop.SecurityAnswers.empty());
  }
  // Different passwords, or an empty user password, ask nothing.
  for (const auto& [user, owner] : {std::pair{"u", "o"}, std::pair{"", ""}}) {
    AppSession session;
    testing::ScriptedDesktop desktop;
    SecurityDialogValues values;
    values.OpenPassword = user;
    values.OwnerPassword = owner;
    desktop.SecurityAnswers = {values};
    EXPECT_TRUE(AskSecurityInputs(session, desktop));
    EXPECT_TRUE(desktop.Messages.empty());
  }
}

TEST(PasswordDialog, TextsAndFileNameInBothModes) {
  const PasswordDialogTexts remove = PasswordDialogTextsOf(PasswordDialogMode::Remove, false);
  EXPECT_EQ(remove.Caption, "Remove Security");
  EXPECT_EQ(remove.Prompt, "Input Owner Password");
  EXPECT_EQ(remove.Note1, "* -r is added to the file name end,");
  EXPECT_EQ(remove.Note2, "  and it is saved.");
  const PasswordDialogTexts engine = PasswordDialogTextsOf(PasswordDialogMode::Engine, true);
  EXPECT_EQ(engine.Caption, "抽出/結合 セキュリティ解除");
  EXPECT_EQ(engine.Prompt, "パスワードを入力してください");
  EXPECT_TRUE(engine.Note1.empty());
  EXPECT_TRUE(engine.Note2.empty());
  EXPECT_EQ(PasswordDialogTextsOf(PasswordDialogMode::Remove, true).Note2, "　-r が付加されます");

  EXPECT_EQ(PasswordDialogFileName(PasswordDialogMode::Remove, "C:\\out\\report-r.pdf"), "report.pdf");
  EXPECT_EQ(PasswordDialogFileName(PasswordDialogMode::Engine, "/in/report.pdf"), "report.pdf");
}

}  // namespace
}  // namespace folvex
