// Set Security and Remove Security driven through their commands with real files; the per-file
// row rules and the closing messages table-driven, with injected results where no file gives one.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "app/session/command_ids.h"
#include "app/commands/operation_commands.h"
#include "app/jobs/security_rows.h"
#include "tests/support/job_session.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::JobSession;

SecurityDialogValues Passwords(const std::string& user, const std::string& owner) {
  SecurityDialogValues values;
  values.OpenPassword = user;
  values.OwnerPassword = owner;
  values.Print = true;
  values.Copy = true;
  return values;
}

class SecurityJobs : public JobSession {
 protected:
  void Reset() {
    Session.List.Rows.clear();
    StartHistory(Session.Undo);
    Desktop = testing::ScriptedDesktop();
    Session.Drivers = JobDrivers();
  }
  void Set(const SecurityDialogValues& values) {
    Desktop.SecurityAnswers.push_back(values);
    ASSERT_TRUE(RunCommand(Session, Desktop, kCmdSetSecurity));
  }
  void Remove() { ASSERT_TRUE(RunCommand(Session, Desktop, kCmdRemoveSecurity)); }
};

TEST_F(SecurityJobs, SetSecurityReplacesTheRowByTheProtectedFile) {
  if (!testing::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  AddRow(Pdf("a.pdf", 3), true);
  AddRow(Pdf("b.pdf", 2), false);
  const auto before = Files();
  Set(Passwords("user", "owner"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"});
  EXPECT_EQ(Desktop.Messages[0].Icon, MessageIcon::Information);
  EXPECT_EQ(Names(), "a-s.pdf* b.pdf");
  EXPECT_EQ(Pages(), "[3 Encrypted][?]");
  EXPECT_EQ(Row(0).Icon, kIconEncrypted);
  EXPECT_EQ(Row(0).Path, PathOf("a-s.pdf"));
  EXPECT_EQ(ChangedSince(before), std::set<std::string>{"a-s.pdf"});
  EXPECT_TRUE(testing::CheckWithQpdf(PathOf("a-s.pdf"), "user").Clean);
  EXPECT_EQ(testing::QpdfEncryptionValue(PathOf("a-s.pdf"), "owner", "P"), "-1324");  // print and copy
  ASSERT_EQ(Desktop.Jobs.size(), 1u);
  EXPECT_EQ(Desktop.Jobs[0].JobKind, 2);
  EXPECT_EQ(Desktop.Jobs[0].OperationWord, "Encrypt");
  EXPECT_EQ(Desktop.Jobs[0].Title, "Folvex - Security Setting");
  EXPECT_EQ(Session.Undo.UndoLabelId, kCmdSetSecurity);
  EXPECT_TRUE(Session.Settings.bPrint);
  EXPECT_FALSE(Session.Settings.bModify);
}

TEST_F(SecurityJobs, OneProtectedRowOfTwoEndsWithSomeFilesAreEncrypted) {
  if (!testing::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  AddRow(Pdf("plain.pdf", 2), true);
  AddRow(Protected("locked.pdf", "", "o", "128 --use-aes=n"), true);
  const auto before = Files();
  Set(Passwords("", "owner"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Some Files are Encrypted"});
  EXPECT_EQ(Desktop.Messages[0].Icon, MessageIcon::Error);
  EXPECT_EQ(Names(), "plain-s.pdf* locked.pdf*");
  EXPECT_EQ(Pages(), "[2 Encrypted][3 Encrypted]");
  EXPECT_EQ(ChangedSince(before), std::set<std::string>{"plain-s.pdf"});
}

TEST_F(SecurityJobs, NewFileRecordAloneAppendsSelectedRowsAndRecountsTheSources) {
  Session.Settings.OrgFileDelete = false;
  AddRow(Pdf("a.pdf", 2), true);
  AddRow(Pdf("b.pdf", 1), true);
  Set(Passwords("", "o"));
  EXPECT_EQ(Names(), "a.pdf* b.pdf* a-s.pdf* b-s.pdf*");
  EXPECT_EQ(Pages(), "[2][1][2 Encrypted][1 Encrypted]");
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"});
}

TEST_F(SecurityJobs, EqualPasswordsAskFirstAndNoShowsTheDialogAgain) {
  AddRow(Pdf("a.pdf", 2), true);
  Desktop.SecurityAnswers.push_back(Passwords("same", "same"));
  Desktop.MessageAnswers.push_back(MessageAnswer::No);
  Desktop.SecurityAnswers.push_back(std::nullopt);  // then cancelled
  RunCommand(Session, Desktop, kCmdSetSecurity);
  ASSERT_EQ(Desktop.Messages.size(), 1u);
  EXPECT_EQ(Desktop.Messages[0].Text,
            "If Owner Password is the same as User Password,\nOwner Password is Not setting.");
  EXPECT_EQ(Desktop.Messages[0].Buttons, MessageButtons::YesNo);
  EXPECT_TRUE(Desktop.Jobs.empty());
  // The values typed before No are kept; Cancel afterwards changes nothing.
  EXPECT_EQ(Session.Passwords.OwnerPassword, "same");
  EXPECT_TRUE(Desktop.Unscripted.empty());

  Desktop.SecurityAnswers.push_back(Passwords("same", "same"));
  Desktop.MessageAnswers.push_back(MessageAnswer::Yes);
  RunCommand(Session, Desktop, kCmdSetSecurity);
  EXPECT_EQ(Desktop.Jobs.size(), 1u);
}

TEST_F(SecurityJobs, TheDriverGetsTheDialogsValues) {
  AddRow(Pdf("a.pdf", 1), true);
  Session.Settings.FileBackUp = true;
  SecurityJob seen;
  Session.Drivers.Protect = [&seen](EngineState& state, std::vector<SecurityFileRecord>& records) {
    seen = state.SecurityJobState;
    for (SecurityFileRecord& record : records) record.Result = kSecurityOutputFailed;
    return kSecurityOutputFailed;
  };
  SecurityDialogValues values = Passwords("u", "o");
  values.Modify = true;
  values.AddAnnotations = true;
  values.Copy = false;
  Set(values);
  EXPECT_EQ(seen.OpenPassword, "u");
  EXPECT_EQ(seen.OwnerPassword, "o");
  EXPECT_EQ(seen.PermissionSelection, 1 + 2 + 8);
  EXPECT_TRUE(seen.FileBackUp);
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"File can't be Saved"});
  EXPECT_EQ(Pages(), "[?]");
  EXPECT_EQ(Session.Undo.UndoCount, 0);
}

TEST_F(SecurityJobs, RemoveSecurityAsksThePasswordOnceForTheRun) {
  if (!testing::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  const std::string locked = Protected("locked.pdf", "u", "owner", "128 --use-aes=n", 2);
  AddRow(locked, true);
  const auto before = Files();
  Desktop.PasswordAnswers.push_back("owner");
  Remove();
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"});
  ASSERT_EQ(Desktop.PasswordRequests.size(), 1u);
  EXPECT_EQ(Desktop.PasswordRequests[0].Mode, PasswordDialogMode::Remove);
  EXPECT_EQ(Desktop.PasswordRequests[0].FileName, "locked.pdf");
  EXPECT_EQ(Names(), "locked-r.pdf*");
  EXPECT_EQ(Pages(), "[2]");
  EXPECT_EQ(Row(0).Icon, kIconPdf);
  EXPECT_EQ(ChangedSince(before), std::set<std::string>{"locked-r.pdf"});
  EXPECT_EQ(Desktop.Jobs[0].OperationWord, "Decrypt");
  EXPECT_EQ(Desktop.Jobs[0].Title, "Folvex - Security Removine");

  Reset();
  std::filesystem::remove(PathOf("locked-r.pdf"));
  AddRow(locked, true);
  Remove();
  EXPECT_TRUE(Desktop.PasswordRequests.empty());
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"});
}

TEST_F(SecurityJobs, APasswordThatDoesNotFitIsAskedForDuringTheJob) {
  if (!testing::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  AddRow(Protected("first.pdf", "u", "one", "128 --use-aes=n", 1), true);
  AddRow(Protected("second.pdf", "u", "two", "128 --use-aes=n", 1), true);
  Desktop.PasswordAnswers = {std::string("one"), std::string("two")};
  Remove();
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"});
  ASSERT_EQ(Desktop.PasswordRequests.size(), 2u);
  EXPECT_EQ(Desktop.PasswordRequests[1].FileName, "second.pdf");
  EXPECT_EQ(Desktop.PasswordRequests[1].Mode, PasswordDialogMode::Remove);
  EXPECT_EQ(Session.Passwords.OwnerPassword, "two");
}

TEST_F(SecurityJobs, CancellingThePasswordDialogFailsWithoutAJob) {
  AddRow(Pdf("a.pdf", 1), true);
  Desktop.PasswordAnswers.push_back(std::nullopt);
  Remove();
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Failure - Remove Security"});
  EXPECT_EQ(Desktop.Messages[0].Icon, MessageIcon::Information);
  EXPECT_TRUE(Desktop.Jobs.empty());
}

TEST_F(SecurityJobs, RemoveSecurityOnAnUnprotectedFileShowsItsPlainCount) {
  Session.Passwords.OwnerPassword = "x";
  AddRow(Pdf("plain.pdf", 4), true);
  const auto before = Files();
  Remove();
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"File is Not Encrypted"});
  EXPECT_EQ(Pages(), "[4]");
  EXPECT_EQ(Row(0).Icon, kIconPdf);
  EXPECT_EQ(ChangedSince(before), std::set<std::string>{});
}

TEST_F(SecurityJobs, MissingFilesAreMarkedAndCountedInTheMessage) {
  AddRow(PathOf("gone.pdf"), true);
  Set(Passwords("", "o"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"File Not Found"});
  EXPECT_EQ(Pages(), "[X Not Found]");
  EXPECT_EQ(Row(0).Icon, kIconNotFound);

  Reset();
  AddRow(Pdf("here.pdf", 1), true);
  AddRow(PathOf("gone.pdf"), true);
  Set(Passwords("", "o"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Some Files Not Found"});
  EXPECT_EQ(Pages(), "[1 Encrypted][X Not Found]");
}

TEST_F(SecurityJobs, CancelInTheMiddleKeepsTheFilesAlreadyWritten) {
  AddRow(Pdf("a.pdf", 2), true);
  AddRow(Pdf("b.pdf", 2), true);
  const auto before = Files();
  Desktop.CancelAtLabel = "Reading 2/2";
  Set(Passwords("", "o"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Canceled"});
  EXPECT_EQ(Desktop.Messages[0].Icon, MessageIcon::Information);
  EXPECT_EQ(Names(), "a-s.pdf* b.pdf*");
  EXPECT_EQ(Pages(), "[2 Encrypted][?]");
  EXPECT_EQ(ChangedSince(before), std::set<std::string>{"a-s.pdf"});
}

TEST_F(SecurityJobs, OutputsGoToTheChosenFolderOrTheStartDirectory) {
  std::filesystem::create_directories(PathOf("out"));
  AddRow(Pdf("in/a.pdf", 1), true);
  SecurityDialogValues values = Passwords("", "o");
  values.SaveInFolder = true;
  values.OutputFolder = PathOf("out");
  Set(values);
  EXPECT_EQ(Row(0).Path, PathOf("out/a-s.pdf"));

  Reset();
  AddRow(Pdf("in/b.pdf", 1), true);
  values.OutputFolder.clear();
  Set(values);
  EXPECT_EQ(Row(0).Path, Folder + "/b-s.pdf");

  // A folder that cannot be written: nothing is saved and the row stays.
  Reset();
  AddRow(PathOf("in/b.pdf"), true);
  values.OutputFolder = PathOf("no such folder");
  const auto before = Files();
  Set(values);
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"File can't be Saved"});
  EXPECT_EQ(Names(), "b.pdf*");
  EXPECT_EQ(ChangedSince(before), std::set<std::string>{});
}

TEST_F(SecurityJobs, APathOf257CharactersEndsTheFilesHandedToTheDriver) {
  const std::string longName = std::string(257 - Folder.size() - 1 - 4, 'n') + ".pdf";
  AddRow(Pdf("short.pdf", 1), true);
  AddRow(Pdf(longName, 1), true);
  AddRow(Pdf("after.pdf", 1), true);
  ASSERT_EQ(Row(1).Path.size(), 257u);
  Set(Passwords("", "o"));
  EXPECT_EQ(Names(), "short-s.pdf* " + longName + "* after.pdf*");
  EXPECT_EQ(Pages(), "[1 Encrypted][?][?]");
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Some Files can't be Saved"});
  EXPECT_FALSE(std::filesystem::exists(PathOf("after-s.pdf")));

  // One character less is still handed over.
  Reset();
  AddRow(Pdf(longName.substr(1), 1), true);
  Set(Passwords("", "o"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"});
}

TEST_F(SecurityJobs, JapaneseCancelMessages) {
  StartSession(Session, true, Folder);
  AddRow(Pdf("a.pdf", 1), true);
  Desktop.CancelJobs = true;
  Set(Passwords("", "o"));
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"セキュリティ設定操作がキャンセルされました"});
  EXPECT_EQ(Desktop.Jobs[0].Title, "Folvex セキュリティ設定");
  Desktop = testing::ScriptedDesktop();
  Desktop.CancelJobs = true;
  Session.Passwords.OwnerPassword = "x";
  Remove();
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"セキュリティ解除操作がキャンセルされました"});
}

// Every per-file result in the four columns, with results injected into records of real rows.
TEST_F(SecurityJobs, EveryPerFileResultChangesItsRowByTheTable) {
  if (!testing::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  const std::string plain = Pdf("plain.pdf", 2);
  const std::string locked = Protected("locked.pdf", "", "o", "128 --use-aes=n", 3);
  // The files a written record names.
  Pdf("plain-r.pdf", 2);
  Protected("plain-s.pdf", "", "o", "128 --use-aes=n", 2);
  struct Case {
    SecurityOperation Operation;
    bool Both;  // OrgFileDelete and NewFileRecord on; else OrgFileDelete off, NewFileRecord on
    int Result;
    const char* Names;
    const char* Pages;
    bool Changed;
  };
  using enum SecurityOperation;
  const Case cases[] = {
      {Set, true, 0, "plain-s.pdf*", "[2 Encrypted]", true},
      {Set, false, 0, "plain.pdf* plain-s.pdf*", "[2][2 Encrypted]", true},
      {Remove, true, 0, "plain-r.pdf*", "[2]", true},
      {Remove, false, 0, "plain.pdf* plain-r.pdf*", "[2][2]", true},
      {Set, true, 5, "plain.pdf*", "[2]", true},
      {Remove, false, 5, "plain.pdf*", "[2]", true},
      {Set, true, 7, "plain.pdf*", "[X Not Found]", true},
      {Remove, false, 7, "plain.pdf*", "[X Not Found]", true},
      {Set, true, 8, "plain.pdf*", "[?]", false},
      {Remove, false, 8, "plain.pdf*", "[?]", false},
      {Set, true, 9, "plain.pdf*", "[X Not PDF?]", true},
      {Set, false, 9, "plain.pdf*", "[X Not PDF?]", true},
      {Remove, true, 9, "locked.pdf*", "[3 Encrypted]", true},
      {Remove, false, 9, "locked.pdf*", "[3 Encrypted]", true},
      {Set, true, 4, "plain.pdf*", "[X Not PDF?]", true},
      {Set, false, 4, "plain.pdf*", "[X Not PDF?]", true},
      {Remove, true, 4, "locked.pdf*", "[?]", false},
      {Remove, false, 4, "locked.pdf*", "[3 Encrypted]", true},
      {Set, true, -1000, "plain.pdf*", "[?]", false},
      {Remove, false, -1000, "locked.pdf*", "[?]", false},
      {Set, true, 6, "plain.pdf*", "[X Not PDF?]", true},
      {Remove, false, -1, "locked.pdf*", "[X Not PDF?]", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.Result) + (c.Operation == Set ? " set" : " remove") + (c.Both ? " both" : ""));
    Reset();
    Session.Settings.OrgFileDelete = c.Both;
    const bool onLocked = std::string(c.Names).rfind("locked", 0) == 0;
    const int row = AddRow(onLocked ? locked : plain, true);
    SecurityFileRecord record;
    record.InputPath = Row(row).Path;
    record.OutputPath = PathOf(c.Operation == Set ? "plain-s.pdf" : "plain-r.pdf");
    record.Result = c.Result;
    EXPECT_EQ(ApplySecurityResults(Session, Desktop, {row}, {record}, c.Operation), c.Changed);
    EXPECT_EQ(Names(), c.Names);
    EXPECT_EQ(Pages(), c.Pages);
  }
}

TEST_F(SecurityJobs, OrgFileDeleteAloneRemovesTheSourcesWithoutPairingTheWrongRows) {
  Session.Settings.NewFileRecord = false;
  AddRow(Pdf("a.pdf", 1), true);
  AddRow(Pdf("b.pdf", 1), true);
  AddRow(Pdf("c.pdf", 1), true);
  Session.Drivers.Protect = [](EngineState&, std::vector<SecurityFileRecord>& records) {
    const int results[] = {0, 7, 0};
    for (std::size_t i = 0; i < records.size(); ++i) records[i].Result = results[i];
    return 7;
  };
  Set(Passwords("", "o"));
  EXPECT_EQ(Names(), "b.pdf*");
  EXPECT_EQ(Pages(), "[X Not Found]");
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Some Files Not Found"});
}

TEST_F(SecurityJobs, WithBothListSettingsOffTheSourceRowIsRecountedOnly) {
  Session.Settings.OrgFileDelete = false;
  Session.Settings.NewFileRecord = false;
  AddRow(Pdf("a.pdf", 3), true);
  Set(Passwords("", "o"));
  EXPECT_EQ(Names(), "a.pdf*");
  EXPECT_EQ(Pages(), "[3]");
  EXPECT_TRUE(std::filesystem::exists(PathOf("a-s.pdf")));
  EXPECT_EQ(Session.Undo.UndoCount, 1);
}

TEST(SecurityResultText, OneFileAndSeveralInBothOperations) {
  struct Case {
    int Result;
    SecurityOperation Operation;
    const char* One;
    const char* Several;
    const char* JapaneseOne;
  };
  using enum SecurityOperation;
  for (const Case& c : {
           Case{0, Set, "Done", "Done", "セキュリティ設定を完了しました"},
           Case{0, Remove, "Done", "Done", "セキュリティ解除を完了しました"},
           Case{5, Set, "File is Encrypted", "Some Files are Encrypted", "セキュリティ設定されたファイルです"},
           Case{5, Remove, "File is Not Encrypted", "Some Files are Not Encrypted", "ファイルがセキュリティ設定されていません"},
           Case{7, Set, "File Not Found", "Some Files Not Found", "ファイルが見つかりません"},
           Case{7, Remove, "File Not Found", "Some Files Not Found", "ファイルが見つかりません"},
           Case{8, Set, "File can't be Saved", "Some Files can't be Saved", "ファイルが保存できません"},
           Case{8, Remove, "File can't be Saved", "Some Files can't be Saved", "ファイルが保存できません"},
           Case{9, Set, "Failure - Set Security", "Failure (Some Files) - Set Security", "セキュリティ設定に失敗しました"},
           Case{9, Remove, "File is Not Permitted", "Some Files are Not Permitted", "セキュリティ解除が許可されていません"},
           Case{4, Set, "Failure - Set Security", "Failure (Some Files) - Set Security", "セキュリティ設定に失敗しました"},
           Case{-1, Remove, "Failure - Remove Security", "Failure (Some Files) - Remove Security",
                "セキュリティ解除に失敗しました"},
       }) {
    SCOPED_TRACE(c.One);
    EXPECT_EQ(Text(SecurityResultText(c.Result, c.Operation, false), false), c.One);
    EXPECT_EQ(Text(SecurityResultText(c.Result, c.Operation, true), false), c.Several);
    EXPECT_EQ(Text(SecurityResultText(c.Result, c.Operation, false), true), c.JapaneseOne);
  }
}

TEST(SecurityInputRows, SetTakesUnprotectedRowsAndRemoveProtectedOnes) {
  FileList list;
  for (const char* page : {"?", "3", "3 Encrypted", "X Not Found", "X Not PDF?", "Encrypted"}) {
    ListEntry row;
    row.Page = page;
    row.Selected = true;
    list.Rows.push_back(row);
  }
  list.Rows.push_back(ListEntry{"u", "u", "", "?", kIconPdf, false, false});  // not selected
  // The bare "Encrypted" of a protected file that could not be counted is a protected row.
  EXPECT_EQ(SecurityInputRows(list, SecurityOperation::Set), (std::vector<int>{0, 1}));
  EXPECT_EQ(SecurityInputRows(list, SecurityOperation::Remove), (std::vector<int>{0, 2, 5}));
}

}  // namespace
}  // namespace folvex
