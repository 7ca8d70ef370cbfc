// The document jobs driven through their commands with real files (qpdf makes the protected
// inputs; qpdf and poppler judge the outputs): extract, merge, Set Security and Remove Security
// under the list settings; every result with its message, list change and step; outputs refused
// and backups; a password remembered for the run; long paths and removed rows.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "app/commands/operation_commands.h"
#include "app/commands/security_dialog.h"
#include "app/jobs/security_rows.h"
#include "app/session/command_ids.h"
#include "tests/support/job_session.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

class Jobs : public testing::JobSession {
 protected:
  void SetUp() override {
    JobSession::SetUp();
    if (!testing::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  }
  void Reset(bool orgFileDelete = true, bool newFileRecord = true, bool newFileOpen = false) {
    Session.List.Rows.clear();
    StartHistory(Session.Undo);
    Desktop = testing::ScriptedDesktop();
    Session.Drivers = JobDrivers();
    std::tie(Session.Settings.OrgFileDelete, Session.Settings.NewFileRecord, Session.Settings.NewFileOpen) =
        std::tuple(orgFileDelete, newFileRecord, newFileOpen);
  }
  // Extract (with the ranges typed), a merge or Remove Security, saving to out.
  void Run(int id, const std::string& out = "", const char* ranges = nullptr) {
    if (ranges != nullptr) Desktop.PageRangeAnswers.push_back(ranges);
    if (!out.empty()) Desktop.SaveFileAnswers.push_back(out);
    ASSERT_TRUE(RunCommand(Session, Desktop, id));
  }
  // Set Security with the passwords typed, printing and copying allowed; saveIn: into the dialog's
  // folder ("": the start directory), else beside each input.
  void Set(const std::string& user, const std::string& owner, const char* saveIn = nullptr) {
    Desktop.SecurityAnswers.push_back(SecurityDialogValues{.OpenPassword = user, .OwnerPassword = owner, .Print = true, .Copy = true,
                                                           .SaveInFolder = saveIn != nullptr,
                                                           .OutputFolder = saveIn == nullptr || *saveIn == 0 ? "" : PathOf(saveIn)});
    ASSERT_TRUE(RunCommand(Session, Desktop, kCmdSetSecurity));
  }
  // Each row: its name, '*' when selected, '+' when focused, its page text and an icon other than the PDF one.
  std::string List() const {
    std::string list;
    for (const ListEntry& row : Session.List.Rows) {
      list += (list.empty() ? "" : " ") + row.Name + (row.Selected ? "*" : "") + (row.Focused ? "+" : "") + "[" + row.Page +
              "]" + (row.Icon != kIconPdf ? std::to_string(row.Icon) : "");
    }
    return list;
  }
  // What a command left: its messages, the list, the undo steps and the files written since before,
  // without the folder's path.
  std::string Outcome(const std::map<std::string, std::string>& before) const {
    std::string outcome;
    for (const std::string& text : Desktop.MessageTexts()) outcome += (outcome.empty() ? "" : " / ") + text;
    outcome += " | " + List() + " | " + std::to_string(Session.Undo.UndoCount) + " |";
    for (const std::string& name : ChangedSince(before)) outcome += " " + name;
    for (std::size_t at; (at = outcome.find(Folder + "/")) != std::string::npos;) outcome.erase(at, Folder.size() + 1);
    return outcome;
  }
};

// OrgFileDelete removes the sources, NewFileRecord adds the new file selected and focused (one step
// for both), NewFileOpen opens it instead of saying "Done". With FileBackUp the old output is kept
// as the backup. Merge All skips the marked rows and does not ask before replacing a file.
TEST_F(Jobs, ExtractAndMergeFollowTheListSettings) {
  struct Case { int Id; bool Org, Record, Open; const char* Outcome; };
  for (const Case& c : {Case{kCmdExtract, true, true, false, "Done | b.pdf[?] new.pdf*+[2] | 1 | sub/new.bak sub/new.pdf"},
                        Case{kCmdExtract, false, true, false, "Done | a.pdf[?] b.pdf[?] new.pdf*+[2] | 1 | sub/new.bak sub/new.pdf"},
                        Case{kCmdExtract, true, false, false, "Done | b.pdf[?] | 1 | sub/new.bak sub/new.pdf"},
                        Case{kCmdExtract, false, false, true, " | a.pdf*[?] b.pdf[?] | 0 | sub/new.bak sub/new.pdf"},
                        Case{kCmdMergeSelect, true, true, false, "Done | new.pdf*+[7] | 1 | sub/new.bak sub/new.pdf"},
                        Case{kCmdMergeSelect, false, true, false, "Done | a.pdf[5] b.pdf[2] new.pdf*+[7] | 1 | sub/new.bak sub/new.pdf"},
                        Case{kCmdMergeSelect, false, false, true, " | a.pdf*[5] b.pdf*[2] | 0 | sub/new.bak sub/new.pdf"},
                        Case{kCmdMergeAll, true, true, false, "Done | gone.pdf[X Not Found]1 new.pdf*+[7] | 1 | sub/new.bak sub/new.pdf"}}) {
    const bool extract = c.Id == kCmdExtract;
    Reset(c.Org, c.Record, c.Open);
    Session.Settings.OutputFolder = Folder + "/start";
    Session.Settings.FileBackUp = true;
    AddRow(Pdf("a.pdf", 5), c.Id != kCmdMergeAll);
    if (c.Id == kCmdMergeAll) AddRow(PathOf("gone.pdf"), true, true);  // marked: skipped
    AddRow(Pdf("b.pdf", 2), c.Id == kCmdMergeSelect, c.Id == kCmdMergeAll);
    std::filesystem::remove_all(PathOf("sub"));
    Bytes("sub/new.pdf", "the old output\n");
    const auto before = Files();
    Run(c.Id, PathOf("sub/new.pdf"), extract ? "4,2" : nullptr);
    EXPECT_EQ(Outcome(before), c.Outcome);
    EXPECT_EQ(testing::ReadFile(PathOf("sub/new.bak")), "the old output\n");
    testing::ExpectSamePage(PathOf("sub/new.pdf"), 1, PathOf("a.pdf"), extract ? 4 : 1, "", false);
    testing::ExpectSamePage(PathOf("sub/new.pdf"), extract ? 2 : 6, PathOf(extract ? "a.pdf" : "b.pdf"), extract ? 2 : 1, "", false);
    EXPECT_EQ(Desktop.ShellOpened, c.Open ? std::vector<std::string>{PathOf("sub/new.pdf")} : std::vector<std::string>{});
    EXPECT_EQ(std::pair(Desktop.SaveFileRequests.at(0).InitialFolder, Desktop.SaveFileRequests[0].AskBeforeOverwrite),
              std::pair(Folder + "/start", c.Id != kCmdMergeAll));
    EXPECT_EQ(Session.Settings.OutputFolder, Folder + "/sub") << "the chosen file's folder";
    EXPECT_TRUE(Desktop.Unscripted.empty());
    if (Session.Undo.UndoCount == 1) {
      ASSERT_TRUE(RunCommand(Session, Desktop, kCmdUndo));
      EXPECT_EQ(List(), extract ? "a.pdf*[?] b.pdf[?]" : c.Id == kCmdMergeAll ? "a.pdf[?] gone.pdf*[X Not Found]1 b.pdf[2]"
                                                                               : "a.pdf*[?] b.pdf*[?]") << "one undo brings the sources back";
    }
  }
}

// Extract before its job: the range text typed (nothing when the dialog is cancelled), the row's
// page count known or counted on the way (an "(Extract)" step), and where the command ends.
TEST_F(Jobs, ExtractChecksThePageRangesBeforeItsJob) {
  struct Case { std::optional<std::string> Typed; int Pages; bool Counted; const char* Outcome; };  // Pages 0: no PDF
  for (const Case& c : {Case{"10-12", 11, true, "Bad Page Input\n  \"10-12\" | in.pdf*[11] | 0 |"},
                        Case{"0", 5, false, "Bad Page Input\n  \"0\" | in.pdf*[?] | 0 |"},
                        Case{"5-", 1, false, "This File has only 1 Page | in.pdf*[1] | 1 |"},
                        Case{"2-,x", 4, false, "Bad Page Input\n  \"2-4,x\" | in.pdf*[4] | 1 |"},
                        Case{"1-20000000", 5, false, "Can't Allocate Memories | in.pdf*[?] | 0 |"},
                        Case{"3-", 0, false, "Failure | in.pdf*[X Not PDF?]2 | 1 |"},
                        Case{std::nullopt, 3, false, " | in.pdf*[?] | 0 |"}, Case{"", 3, false, " | in.pdf*[?] | 0 |"},
                        Case{"10-12", 11, false, "Bad Page Input | in.pdf*[11] | 1 |"},  // the job counts the row
                        Case{"-", 12, false, "Done | out.pdf*+[12] | 1 | out.pdf"},
                        Case{"2,-2", 12, true, "Done | out.pdf*+[3] | 1 | out.pdf"}}) {
    Reset();
    std::filesystem::remove(PathOf("out.pdf"));
    AddRow(c.Pages == 0 ? Bytes("in.pdf", "not a pdf\n") : Pdf("in.pdf", c.Pages), true, c.Counted);
    const auto before = Files();
    Desktop.PageRangeAnswers.push_back(c.Typed);
    Run(kCmdExtract, PathOf("out.pdf"));
    EXPECT_EQ(Outcome(before), c.Outcome) << c.Typed.value_or("<cancel>");
    EXPECT_EQ(testing::PdfinfoPages(PathOf("out.pdf")), c.Pages == 12 ? std::stoi(Row(0).Page) : -1);
  }
}

// Every failure of extract and of merge, each with FileBackUp on and an old output in place: the
// backup is made only with a new file in place, so no file changes. Each case: merge or extract of
// the inputs (all selected); a result no real file gives, injected with the failing input and the
// LastErrorCode (1 stands for an /Encrypt reference instead); the outcome; the list settings (1
// OrgFileDelete, 2 NewFileRecord): a missing input is a step under either, and none without both;
// the output chosen: one that cannot be created or would replace an input (or whose backup name is
// an input) is refused before anything is written.
TEST_F(Jobs, EveryFailureWithItsMessageListChangeAndStep) {
  const std::string one = Pdf("one.pdf", 2);
  const std::string two = Pdf("two.pdf", 2);
  const std::string gone = PathOf("gone.pdf");
  struct Case { bool Merge; std::vector<std::string> Inputs; std::optional<int> Injected; int Failing, Error; const char* Outcome;
                int Settings = 3; const char* Output = "out.pdf"; };
  const Case cases[] = {
      {false, {Pdf("single.pdf", 1)}, {}, 0, 0, "This File has only 1 Page | single.pdf*[1] | 1 |"},
      {false, {ProtectedWithStreams("streams.pdf")}, -1, 0, -1000, "This File is Encrypted | streams.pdf*[Encrypted]3 | 1 |"},
      {false, {Protected("aes.pdf", "u", "o", "128 --use-aes=y")}, -1, 0, 1, "This File is Encrypted | aes.pdf*[?] | 0 |"},
      {false, {Bytes("junk.pdf", "this is not a PDF file\n")}, {}, 0, 0, "Failure - Page Extract | junk.pdf*[?] | 0 |"},
      {false, {gone}, {}, 0, 0, "File Not Found | gone.pdf*[X Not Found]1 | 1 |"},
      {false, {gone}, {}, 0, 0, "File Not Found | gone.pdf*[X Not Found]1 | 1 |", 1},
      {false, {gone}, {}, 0, 0, "File Not Found | gone.pdf*[X Not Found]1 | 1 |", 2},
      {false, {gone}, {}, 0, 0, "File Not Found | gone.pdf*[X Not Found]1 | 0 |", 0},
      {false, {Protected("locked.pdf", "u", "o", "128 --use-aes=n")}, {}, 0, 0, "Failure - Page Extract | locked.pdf*[?] | 0 |"},
      {false, {Protected("fixed.pdf", "", "", "128 --use-aes=n --modify=none")}, {}, 0, 0,
       "Extract is Not Permitted | fixed.pdf*[3 Encrypted]3 | 1 |"},
      {false, {one}, 3, 0, 0, " | one.pdf*[?] | 0 |"},  // cancelled
      {true, {ProtectedWithStreams("streams.pdf"), one}, -1, 0, -1000,
       "This File is Encrypted\n  streams.pdf | streams.pdf*+[Encrypted]3 one.pdf[?] | 1 |"},
      {true, {ProtectedWithStreams("streams2.pdf"), one}, {}, 0, 0,
       "Failure - Merge\n  streams2.pdf | streams2.pdf*+[Encrypted]3 one.pdf[?] | 1 |"},
      {true, {one, Bytes("junk.pdf", "no PDF here\n"), two}, {}, 0, 0,
       "Failure - Merge\n  junk.pdf | one.pdf[2] junk.pdf*+[?] two.pdf[?] | 0 |"},
      {true, {one, gone, two}, {}, 0, 0, "File Not Found\n  gone.pdf | one.pdf[?] gone.pdf*+[X Not Found]1 two.pdf[?] | 1 |"},
      {true, {Protected("asks.pdf", "u", "o", "128 --use-aes=n"), one}, {}, 0, 0,
       "Failure - Merge\n  asks.pdf | asks.pdf*+[3 Encrypted]3 one.pdf[?] | 1 |"},
      {true, {Protected("fixed.pdf", "", "", "128 --use-aes=n --modify=none"), one}, {}, 0, 0,
       "Merge is Not Permitted\n  fixed.pdf | fixed.pdf*+[3 Encrypted]3 one.pdf[?] | 1 |"},
      {true, {Protected("owned.pdf", "", "owner", "128 --use-aes=n"), one}, {}, 0, 0,
       "Some Files have Different Security\n  one.pdf | owned.pdf[3 Encrypted]3 one.pdf*+[?] | 1 |"},
      {true, {one, two}, 1, -1, 0, "Error | one.pdf[?] two.pdf[?] | 1 |"},  // a missing input, none named
      {true, {one, two}, -1, -1, -2000, "Error | one.pdf[?] two.pdf[?] | 0 |"},
      {true, {one, two}, 3, -1, 0, " | one.pdf*[?] two.pdf*[?] | 0 |"},  // cancelled
      {false, {one}, {}, 0, 0, "Can't Save | one.pdf*[?] | 0 |", 3, "no such folder/out.pdf"},
      {false, {one}, {}, 0, 0, "Can't Save | one.pdf*[?] | 0 |", 3, "one.pdf"},
      {false, {Pdf("c.bak", 3)}, {}, 0, 0, "Can't Save | c.bak*[?] | 0 |", 3, "c.pdf"},
      {true, {one, two}, {}, 0, 0, "Can't Save | one.pdf*[?] two.pdf*[?] | 0 |", 3, "one.pdf"},
      {true, {one, two}, {}, 0, 0, "Can't Save | one.pdf*[2] two.pdf*[2] | 0 |", 3, "missing folder/out.pdf"},
  };
  for (const Case& c : cases) {
    Reset(c.Settings & 1, c.Settings & 2);
    Session.Settings.FileBackUp = true;
    if (c.Injected) {
      const auto inject = [&c](EngineState& state) {
        if (c.Error == 1) state.EncryptRef = 0;
        state.LastErrorCode = c.Error == 1 ? 0 : c.Error;
        return *c.Injected;
      };
      Session.Drivers.Extract = [inject](EngineState& state, const ExtractJob&) { return inject(state); };
      Session.Drivers.Merge = [inject, &c](EngineState& state, MergeJob& job) {
        job.JobResultIndex = c.Failing;
        return inject(state);
      };
    }
    std::filesystem::remove(PathOf("out.bak"));
    Bytes("out.pdf", "the old output\n");
    for (const std::string& input : c.Inputs) AddRow(input, true);
    const auto before = Files();
    Run(c.Merge ? kCmdMergeSelect : kCmdExtract, PathOf(c.Output), c.Merge ? nullptr : "1");
    EXPECT_EQ(Outcome(before), c.Outcome) << c.Output;
    for (const MessageRequest& message : Desktop.Messages) EXPECT_EQ(message.Icon, MessageIcon::Error);
  }
}

// The password typed for a protected input is remembered for the rest of the run: later jobs open
// with it; the dialog names the input that asks.
TEST_F(Jobs, APasswordTypedOnceOpensTheFileForTheRestOfTheRun) {
  const std::string locked = Protected("locked.pdf", "user", "owner", "128 --use-aes=n");
  AddRow(locked, true);
  Desktop.PasswordAnswers = {std::string("wrong"), std::string("user")};
  Run(kCmdExtract, PathOf("first.pdf"), "1");
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"});
  ASSERT_EQ(Desktop.PasswordRequests.size(), 2u);
  EXPECT_EQ(Desktop.PasswordRequests[1].FileName, "locked.pdf");
  EXPECT_EQ(List(), "first.pdf*+[1 Encrypted]3");
  Reset();
  AddRow(locked, true);
  Run(kCmdExtract, PathOf("second.pdf"), "2");
  EXPECT_TRUE(Desktop.PasswordRequests.empty());
  EXPECT_NE(testing::PdfText(PathOf("second.pdf"), "user").find("Page 2"), std::string::npos);
}

// Set and Remove Security over plain ("name:pages"; "+": counted as it is added, which Set Security
// takes as unprotected), protected and missing ("name:-") files, under the list settings and into
// the output folder (SaveIn; "" the start directory). Protected files have the owner password "o":
// "L" an empty user password; with cross-reference streams and counted as they are added, "R", "A"
// and "S" (RC4, AES-128, AES-256) an empty user password, which opens them for counting, and "U" a
// user password, which leaves the bare "Encrypted". Encrypted rows (the bare one in either language
// too) are refused by Set Security without its dialog and taken by Remove Security.
TEST_F(Jobs, SecurityOverRealFilesFollowsTheListSettingsAndTheOutputFolder) {
  struct Case { bool Set, Org, Record; const char* SaveIn; std::vector<std::string> Rows; const char* Outcome; bool Japanese = false; };
  const Case cases[] = {
      {true, true, true, nullptr, {"plain.pdf:2", "locked.pdf:L"},
       "Some Files are Encrypted | plain-s.pdf*[2 Encrypted]3 locked.pdf*[3 Encrypted]3 | 1 | plain-s.pdf"},
      {true, false, true, nullptr, {"a.pdf:2", "b.pdf:1"},
       "Done | a.pdf*[2] b.pdf*[1] a-s.pdf*[2 Encrypted]3 b-s.pdf*[1 Encrypted]3 | 1 | a-s.pdf b-s.pdf"},
      {true, false, false, nullptr, {"a.pdf:3"}, "Done | a.pdf*[3] | 1 | a-s.pdf"},  // the source recounted only
      {true, true, true, nullptr, {"UP.PDF:1+"}, "Done | UP-s.pdf*[1 Encrypted]3 | 1 | UP-s.pdf"},
      {true, true, true, nullptr, {"gone.pdf:-"}, "File Not Found | gone.pdf*[X Not Found]1 | 1 |"},
      {true, true, true, nullptr, {"here.pdf:1", "gone.pdf:-"},
       "Some Files Not Found | here-s.pdf*[1 Encrypted]3 gone.pdf*[X Not Found]1 | 1 | here-s.pdf"},
      {true, true, true, "out", {"in/a.pdf:1"}, "Done | a-s.pdf*[1 Encrypted]3 | 1 | out/a-s.pdf"},
      {true, true, true, "", {"in/b.pdf:1"}, "Done | b-s.pdf*[1 Encrypted]3 | 1 | b-s.pdf"},
      {true, true, true, "no such folder", {"in/b.pdf:1"}, "File can't be Saved | b.pdf*[?] | 0 |"},
      {false, true, true, nullptr, {"plain.pdf:4"}, "File is Not Encrypted | plain.pdf*[4] | 1 |"},
      {false, true, true, nullptr, {"locked.pdf:L"}, "Done | locked-r.pdf*[3] | 1 | locked-r.pdf"},
      {false, false, true, nullptr, {"locked.pdf:L"}, "Done | locked.pdf*[3 Encrypted]3 locked-r.pdf*[3] | 1 | locked-r.pdf"},
      {true, true, true, nullptr, {"bare.pdf:U"}, " | bare.pdf*[Encrypted]3 | 0 |"},
      {true, true, true, nullptr, {"bare.pdf:U"}, " | bare.pdf*[暗号化]3 | 0 |", true},
      {false, true, true, nullptr, {"bare.pdf:U"}, "Done | bare-r.pdf*[3] | 1 | bare-r.pdf"},
      {false, true, true, nullptr, {"bare.pdf:U"}, "セキュリティ解除を完了しました | bare-r.pdf*[3] | 1 | bare-r.pdf", true},
      {true, true, true, nullptr, {"rc4.pdf:R", "aes.pdf:A", "aes256.pdf:S"},
       " | rc4.pdf*[3 Encrypted]3 aes.pdf*[3 Encrypted]3 aes256.pdf*[3 Encrypted]3 | 0 |"},
      {false, true, true, nullptr, {"aes.pdf:A", "aes256.pdf:S"}, "Done | aes-r.pdf*[3] aes256-r.pdf*[3] | 1 | aes-r.pdf aes256-r.pdf"},
  };
  const std::string plain = testing::WriteTempFile("security-plain.pdf", testing::SimplePdf(3));
  const std::map<std::string, std::string> methods = {{"R", "128 --use-aes=n"}, {"A", "128 --use-aes=y"}, {"S", "256"}};
  for (const Case& c : cases) {
    StartSession(Session, c.Japanese, Folder);
    Session.Settings.OutputFolder = Folder;
    Reset(c.Org, c.Record);
    std::filesystem::remove_all(Folder);
    std::filesystem::create_directories(PathOf("out"));
    Session.Passwords.OwnerPassword = c.Set ? "" : "o";
    for (const std::string& row : c.Rows) {
      const std::string name = row.substr(0, row.find(':')), kind = row.substr(row.find(':') + 1);
      const bool streams = kind == "U" || methods.contains(kind);
      if (methods.contains(kind)) {
        testing::RunCommand("qpdf --allow-weak-crypto --object-streams=generate --encrypt '' o " + methods.at(kind) + " -- " +
                            testing::Quoted(plain) + " " + testing::Quoted(PathOf(name)));
      }
      AddRow(kind == "L" ? Protected(name, "", "o", "128 --use-aes=n") : kind == "U" ? ProtectedWithStreams(name)
             : kind == "-" || streams ? PathOf(name) : Pdf(name, std::stoi(kind)), true, streams || kind.ends_with('+'));
    }
    const auto before = Files();
    c.Set ? Set("user", "owner", c.SaveIn) : Run(kCmdRemoveSecurity);
    EXPECT_EQ(Outcome(before), c.Outcome);
    EXPECT_TRUE(Desktop.Unscripted.empty());
    const std::string outcome = c.Outcome;  // no message, or "Done" in either language: the information icon
    EXPECT_EQ(Desktop.SecurityAnswers.size(), c.Set && outcome.starts_with(" |") ? 1u : 0u) << "whether the dialog was shown";
    EXPECT_EQ(Desktop.Messages.empty() ? MessageIcon::Information : Desktop.Messages[0].Icon,
              outcome.starts_with("Done") || outcome.starts_with(" |") || c.Japanese ? MessageIcon::Information : MessageIcon::Error);
    // A protected copy opens with the user password and allows printing and copying only; an
    // unprotected one is no longer encrypted.
    for (const auto& [name, bytes] : Files()) {
      if (before.count(name) != 0) continue;
      EXPECT_TRUE(testing::CheckWithQpdf(PathOf(name), c.Set ? "user" : "").Clean) << name;
      EXPECT_EQ(testing::QpdfEncryptionValue(PathOf(name), "owner", "P"), c.Set ? "-1324" : "") << name;
    }
  }
}

// A path of 257 characters leaves no room for the suffix: it and the rows after it are not handed
// to the driver. Rows removed by OrgFileDelete alone go last, from the back, so that each result
// meets its own row.
TEST_F(Jobs, LongPathsEndTheFilesHandedOverAndRemovedRowsMeetTheirResults) {
  const std::string longName = std::string(257 - Folder.size() - 1 - 4, 'n') + ".pdf";
  AddRow(Pdf("short.pdf", 1), true);
  AddRow(Pdf(longName, 1), true);
  AddRow(Pdf("after.pdf", 1), true);
  ASSERT_EQ(Row(1).Path.size(), 257u);
  auto before = Files();
  Set("", "o");
  EXPECT_EQ(Outcome(before), "Some Files can't be Saved | short-s.pdf*[1 Encrypted]3 " + longName + "*[?] after.pdf*[?] | 1 | short-s.pdf");
  Reset();
  AddRow(Pdf(longName.substr(1), 1), true);
  Set("", "o");
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Done"}) << "one character less is handed over";

  Reset(true, false);
  for (const char* name : {"a.pdf", "b.pdf", "c.pdf", "d.pdf", "e.pdf"}) AddRow(Pdf(name, 1), true);
  Session.Drivers.Protect = [](EngineState&, std::vector<SecurityFileRecord>& records) {
    const int results[] = {0, 7, 0, 7, 7};
    for (std::size_t i = 0; i < records.size(); ++i) records[i].Result = results[i];
    return 7;
  };
  before = Files();
  Set("", "o");
  EXPECT_EQ(Outcome(before), "Some Files Not Found | b.pdf*[X Not Found]1 d.pdf*[X Not Found]1 e.pdf*[X Not Found]1 | 1 |");
}

}  // namespace
}  // namespace folvex
