// The command handler: operations refused by their menu rule or a splitter run, the ids left to
// the window and the splitter, and the security and password dialog helpers.
#include "app/commands/operation_commands.h"

#include <gtest/gtest.h>

#include "app/commands/command_ids.h"
#include "app/commands/password_dialog.h"
#include "app/commands/security_dialog.h"
#include "tests/support/job_session.h"

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
