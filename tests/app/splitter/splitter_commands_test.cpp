// The splitter's availability, its General Setting validation, the launches of both split commands
// and a several-file run driven by notices, against the scripted desktop and real files.
#include "app/splitter/splitter_commands.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/session/command_ids.h"
#include "app/commands/operation_commands.h"
#include "app/splitter/splitter_version.h"
#include "tests/support/job_session.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::JobSession;

std::uint64_t SizeOf(int version) {
  switch (version) {
    case 840: return 221184;
    case 861: return 233472;
    case 910: return 253952;
    case 990: return 290816;
    case 1000: return 307200;
    default: return 400000;  // a size of no release: the newest
  }
}

class SplitterCommands : public JobSession {
 protected:
  void SetUp() override {
    JobSession::SetUp();
    TmpFolder = PathOf("tmp");
    std::filesystem::create_directories(TmpFolder);
    setenv("TMP", TmpFolder.c_str(), 1);
    Session.Splitter.NotifyWindow = 4242;
  }
  void TearDown() override { unsetenv("TMP"); }

  // A splitter executable of the size of a release, in a folder of its own.
  std::string Splitter(int version, const std::string& name = "Tomlet.exe") {
    return Bytes("v" + std::to_string(version) + "/" + name, std::string(SizeOf(version), 'M'));
  }

  // The splitter configured and recognised as at start-up.
  void Configure(int version) {
    Session.Settings.Tomlet = Splitter(version);
    StartSplitter(Session, Desktop);
    ASSERT_TRUE(Session.Splitter.Available);
    Desktop = testing::ScriptedDesktop();
  }

  void AddFiles(int count, int pages = 3) {
    for (int i = 0; i < count; ++i) AddRow(Pdf("f" + std::to_string(i) + ".pdf", pages), true);
  }

  std::string ListFileText(const std::string& parameters) const {
    const std::string name = parameters.substr(parameters.rfind(' ') + 1);
    std::ifstream in(TmpFolder + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string TmpFolder;
};

TEST_F(SplitterCommands, AvailabilityAtStart) {
  struct Case {
    int Version;  // 0: no path, -1: a path that does not exist
    bool Available;
  };
  for (const Case& c : {Case{0, false}, Case{-1, false}, Case{840, false}, Case{861, true}, Case{1000, true},
                        Case{99999, true}}) {
    SCOPED_TRACE(c.Version);
    Desktop = testing::ScriptedDesktop();
    Session.Settings.Tomlet = c.Version == 0 ? "" : c.Version < 0 ? PathOf("gone/Tomlet.exe") : Splitter(c.Version);
    StartSplitter(Session, Desktop);
    EXPECT_EQ(Session.Splitter.Available, c.Available);
    EXPECT_EQ(Desktop.SplitterMenuItemsPresent, std::optional<bool>(c.Available));
    EXPECT_EQ(Desktop.Toolbar.SplitButtonsVisible, c.Available);
    if (c.Version > 0) {
      EXPECT_EQ(Session.Splitter.Version, c.Version);
    }
  }
}

TEST_F(SplitterCommands, GeneralSettingValidatesThePath) {
  struct Case {
    std::string Typed;
    std::vector<std::string> Messages;  // text and icon letter (E error, I information)
    bool Accepted;                      // the first OK closes the dialog
  };
  const std::vector<Case> cases = {
      {Splitter(1000, "Tomlet.ex"), {"Not Tomlet.exe E"}, false},
      {PathOf("gone/Tomlet.exe"), {"Tomlet.exe Not Found E"}, false},
      {Splitter(840), {"Version is Too Low\nUse more than Ver1.00(Tomlet) I"}, false},
      {Splitter(990), {"Use more than Ver1.00(Tomlet),\nSo All Function will be Available I"}, true},
      {Splitter(1000, "TOMLET.EXE"), {}, true},
      {Splitter(99999), {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Typed);
    Desktop = testing::ScriptedDesktop();
    Session.Settings.Tomlet.clear();
    Session.Splitter = SplitterState();
    GeneralSettingsValues typed;
    typed.SplitterPath = c.Typed;
    typed.PageDisp = true;
    Desktop.GeneralSettingsAnswers.push_back(typed);  // one press of OK, then the dialog is cancelled
    RunGeneralSetting(Session, Desktop);

    std::vector<std::string> shown;
    for (const MessageRequest& m : Desktop.Messages) {
      shown.push_back(m.Text + (m.Icon == MessageIcon::Error ? " E" : " I"));
      EXPECT_EQ(m.Caption, "Folvex");
    }
    EXPECT_EQ(shown, c.Messages);
    EXPECT_TRUE(Session.Settings.PageDisp);  // the switches are stored at every OK
    EXPECT_EQ(Session.Splitter.Available, c.Accepted);
    EXPECT_EQ(Session.Settings.Tomlet, c.Accepted ? c.Typed : "");
    if (c.Accepted) {
      EXPECT_EQ(Session.Splitter.Version, ReadSplitterVersion(c.Typed));
      EXPECT_EQ(Desktop.SplitterMenuItemsPresent, std::optional<bool>(true));
      EXPECT_TRUE(Desktop.Toolbar.SplitButtonsVisible);
    } else {
      EXPECT_EQ(Desktop.SplitterMenuItemsPresent, std::nullopt);  // cancelled: nothing changes
    }
  }

  // An empty path forgets the splitter.
  Desktop = testing::ScriptedDesktop();
  Desktop.GeneralSettingsAnswers.push_back(GeneralSettingsValues{});
  RunGeneralSetting(Session, Desktop);
  EXPECT_FALSE(Session.Splitter.Available);
  EXPECT_EQ(Desktop.SplitterMenuItemsPresent, std::optional<bool>(false));
  EXPECT_FALSE(Desktop.Toolbar.SplitButtonsVisible);
}

TEST(SplitterFileDialog, TomletOnly) {
  for (bool japanese : {false, true}) {
    const FileDialogRequest request = SplitterFileDialogRequest(japanese);
    EXPECT_EQ(request.Title, japanese ? "Tomlet.exeの位置を指定" : "Where is Tomlet.exe?");
    EXPECT_EQ(request.FilterName + "|" + request.FilterPattern + "|" + request.DefaultExtension,
              "Tomlet.exe|Tomlet.exe|exe");
    EXPECT_TRUE(request.MustExist);
  }
}

TEST_F(SplitterCommands, OlderSplitterGetsThePath) {
  Configure(990);
  AddFiles(1);
  RunSplitAll(Session, Desktop);
  ASSERT_EQ(Desktop.ShellLaunched.size(), 1u);
  EXPECT_EQ(Desktop.ShellLaunched[0].first, Session.Settings.Tomlet);
  EXPECT_EQ(Desktop.ShellLaunched[0].second, "-Auto " + Row(0).Path);
  EXPECT_EQ(Session.Splitter.Run, 0);  // not watched

  // Three files: the run form for the first file only, then waiting.
  Session.List.Rows.clear();
  Desktop = testing::ScriptedDesktop();
  AddFiles(3);
  Desktop.MessageAnswers.push_back(MessageAnswer::Yes);
  RunSplitAll(Session, Desktop);
  ASSERT_EQ(Desktop.Messages.size(), 1u);
  EXPECT_EQ(Desktop.Messages[0].Text, "Selected All Files are splited into Single Pages");
  EXPECT_EQ(Desktop.Messages[0].Icon, MessageIcon::Question);
  ASSERT_EQ(Desktop.ShellLaunched.size(), 1u);
  EXPECT_EQ(Desktop.ShellLaunched[0].second, "-Ac4242 " + Row(0).Path);
  EXPECT_EQ(Session.Splitter.Run, 3);
  EXPECT_GE(Desktop.MenuRefreshes, 1);

  // Answering No starts nothing.
  Session.Splitter.Run = 0;
  Desktop = testing::ScriptedDesktop();
  Desktop.MessageAnswers.push_back(MessageAnswer::No);
  RunSplitAll(Session, Desktop);
  EXPECT_TRUE(Desktop.ShellLaunched.empty());
  EXPECT_EQ(Session.Splitter.Run, 0);
}

TEST_F(SplitterCommands, ListFileCarriesTheSplitSettings) {
  Configure(1000);
  AddFiles(1);
  OutputSettings& output = Session.Settings.Output;
  output.DispScale = "150F";
  output.PageLayout = 2;
  output.Direction = 0;
  output.OutlineKeepS = 1;
  output.PageModeS = 3;
  RunSplitAll(Session, Desktop);
  ASSERT_EQ(Desktop.ShellLaunched.size(), 1u);
  const std::string parameters = Desktop.ShellLaunched[0].second;  // a copy: the log grows below
  EXPECT_EQ(parameters.substr(0, 4), "-Bu ");
  EXPECT_EQ(parameters.substr(4, 5), "~tpfd");
  EXPECT_EQ(ListFileText(parameters), "/d150f /p2l /ok /nt \n" + Row(0).Path + "\n");

  // Page input, with the language forced: a second, different list file.
  Session.Splitter.LanguageForced = true;
  RunSplitPageInput(Session, Desktop);
  ASSERT_EQ(Desktop.ShellLaunched.size(), 2u);
  const std::string& second = Desktop.ShellLaunched[1].second;
  EXPECT_EQ(second.substr(0, 8), "/us-Bp ~");
  EXPECT_NE(second.substr(7), parameters.substr(4));
  EXPECT_EQ(ListFileText(second), "/d150f /p2l /ok /nt \n" + Row(0).Path + "\n");

  Session.Japanese = true;
  RunSplitAll(Session, Desktop);
  EXPECT_EQ(Desktop.ShellLaunched.back().second.substr(0, 8), "/jp-Bu ~");
}

TEST_F(SplitterCommands, WithoutTmpTheListFileIsInTheCurrentDirectory) {
  Configure(99999);
  AddFiles(1);
  unsetenv("TMP");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(Folder);
  RunSplitAll(Session, Desktop);
  std::filesystem::current_path(before);
  ASSERT_EQ(Desktop.ShellLaunched.size(), 1u);
  EXPECT_EQ(Desktop.ShellLaunched[0].second, "-Bu ~tpfd");
  std::ifstream in(Folder + "/~tpfd", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "\n" + Row(0).Path + "\n");
}

TEST_F(SplitterCommands, LaunchFailures) {
  Configure(1000);
  AddFiles(1);
  // The shell cannot start it: the message, and the list file is gone again.
  Desktop.ShellLaunchResults.push_back(false);
  RunSplitAll(Session, Desktop);
  ASSERT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Can't Find Tomlet"});
  EXPECT_TRUE(std::filesystem::is_empty(TmpFolder));

  // Several files, Japanese: the run's own text, and the run ends.
  Session.Japanese = true;
  AddFiles(2);
  Desktop = testing::ScriptedDesktop();
  Desktop.MessageAnswers.push_back(MessageAnswer::Yes);
  Desktop.ShellLaunchResults.push_back(false);
  RunSplitAll(Session, Desktop);
  ASSERT_EQ(Desktop.Messages.size(), 2u);
  EXPECT_EQ(Desktop.Messages[1].Text, "Tomletの連続起動に失敗しました");
  EXPECT_EQ(Session.Splitter.Run, 0);

  // No list file can be made: nothing starts and nothing is said.
  setenv("TMP", PathOf("no such folder").c_str(), 1);
  Desktop = testing::ScriptedDesktop();
  Desktop.MessageAnswers.push_back(MessageAnswer::Yes);
  RunSplitAll(Session, Desktop);
  EXPECT_TRUE(Desktop.ShellLaunched.empty());
  EXPECT_EQ(Desktop.Messages.size(), 1u);  // the question only
  EXPECT_EQ(Session.Splitter.Run, 0);
}

TEST_F(SplitterCommands, ExecutableGoneAtLaunch) {
  for (int command : {1350, 1360}) {
    SCOPED_TRACE(command);
    Configure(1000);
    Session.List.Rows.clear();
    AddFiles(1);
    std::filesystem::remove(Session.Settings.Tomlet);
    if (command == 1350) {
      Session.Japanese = true;
      RunSplitAll(Session, Desktop);
    } else {
      Session.Japanese = false;
      RunSplitPageInput(Session, Desktop);
    }
    EXPECT_EQ(Desktop.MessageTexts(),
              std::vector<std::string>{command == 1350 ? "Tomlet.exeが見つかりません." : "Tomlet.exe Not Found"});
    EXPECT_TRUE(Desktop.ShellLaunched.empty());
    EXPECT_TRUE(Session.Settings.Tomlet.empty());
    EXPECT_FALSE(Session.Splitter.Available);
    EXPECT_EQ(Desktop.SplitterMenuItemsPresent, std::optional<bool>(false));
    EXPECT_FALSE(Desktop.Toolbar.SplitButtonsVisible);
  }
}

TEST_F(SplitterCommands, RefusedSplits) {
  Configure(1000);
  // Nothing selected; a one-page file; two files with a splitter too old for runs; a run going on.
  AddRow(Pdf("one.pdf", 1), true, true);
  RunSplitAll(Session, Desktop);
  RunSplitPageInput(Session, Desktop);
  Session.List.Rows.clear();
  AddFiles(2);
  Session.Splitter.Version = 861;
  RunSplitAll(Session, Desktop);
  RunSplitPageInput(Session, Desktop);
  Session.Splitter.Version = 1000;
  Session.Splitter.Run = 2;
  RunSplitAll(Session, Desktop);
  Session.Splitter.Run = 0;
  Session.Splitter.Available = false;
  Session.List.Rows.resize(1);
  RunSplitAll(Session, Desktop);
  EXPECT_TRUE(Desktop.ShellLaunched.empty());
  EXPECT_TRUE(Desktop.Messages.empty());
}

// A several-file run: the notices the splitter sends, and how the run goes on and ends.
TEST_F(SplitterCommands, RunsDrivenByNotices) {
  struct Case {
    int Files;
    std::vector<long> Statuses;
    std::size_t Launches;     // launches in all
    std::string LastMessage;  // "" none
    MessageIcon Icon;
  };
  const std::vector<Case> cases = {
      {3, {0, 1, 0}, 3, "Done", MessageIcon::Information},
      {3, {0, 2, 0}, 3, "Failure(Some Files)", MessageIcon::Error},
      {3, {-2}, 1, "Canceled", MessageIcon::Information},
      {3, {0, 0, 4}, 3, "Failure(Some Files)", MessageIcon::Error},
      {2, {7, 0}, 2, "Failure(Some Files)", MessageIcon::Error},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.LastMessage + " " + std::to_string(c.Statuses.front()));
    Configure(1000);
    Session.List.Rows.clear();
    AddFiles(c.Files);
    Desktop.MessageAnswers.push_back(MessageAnswer::Yes);
    RunSplitAll(Session, Desktop);
    for (long status : c.Statuses) HandleSplitterNotify(Session, Desktop, status);
    ASSERT_EQ(Desktop.ShellLaunched.size(), c.Launches);
    for (std::size_t i = 0; i < c.Launches; ++i) {
      const std::string& parameters = Desktop.ShellLaunched[i].second;
      EXPECT_EQ(parameters.substr(0, 9), "-Bc4242 ~");
      EXPECT_EQ(ListFileText(parameters), "\n" + Row(static_cast<int>(i)).Path + "\n");
    }
    ASSERT_FALSE(Desktop.Messages.empty());
    const MessageRequest& last = Desktop.Messages.back();
    EXPECT_EQ(last.Text, c.LastMessage);
    EXPECT_EQ(last.Icon, c.Icon);
    EXPECT_EQ(last.Caption, "Tomlet");
    EXPECT_TRUE(last.StayOnTop);
    EXPECT_EQ(Session.Splitter.Run, 0);
    EXPECT_EQ(Session.Splitter.DoneCount, 0);
    // A late notice after the end is ignored.
    const std::size_t shown = Desktop.Messages.size();
    HandleSplitterNotify(Session, Desktop, 0);
    EXPECT_EQ(Desktop.Messages.size(), shown);
    EXPECT_EQ(Desktop.ShellLaunched.size(), c.Launches);
  }
}

// A run over one file (the handler's view: the menu rule lets a run start on two usable rows, so
// this is a run whose other row was not usable): the file's status decides the text.
TEST_F(SplitterCommands, OneFileRunReportsItsStatus) {
  struct Case {
    long Status;
    const char* English;
    const char* Japanese;
  };
  for (const Case& c : {Case{2, "Can't Split\nThis PDF File is Encrypted", "内部が暗号化されているので\n本ソフトでは分解できません"},
                        Case{3, "Can't Split\nThis PDF File has Only One Page", "これ以上分解できません"},
                        Case{4, "Can't Create New Files", "分解ファイルを作成できません"},
                        Case{-5, "Failed", "分解操作に失敗しました"}, Case{1, "Done", "分解操作完了"}}) {
    for (bool japanese : {false, true}) {
      SCOPED_TRACE(c.Status);
      Configure(990);
      Session.Japanese = japanese;
      Session.List.Rows.clear();
      AddFiles(1);
      ListEntry missing;
      missing.Path = PathOf("gone.pdf");
      missing.Page = "X Not Found";
      missing.Selected = true;
      Session.List.Rows.push_back(missing);
      Session.Splitter.Run = 1;
      Session.Splitter.RunFiles = {Row(0).Path};
      HandleSplitterNotify(Session, Desktop, c.Status);
      ASSERT_EQ(Desktop.Messages.size(), 1u);
      EXPECT_EQ(Desktop.Messages.back().Text, japanese ? c.Japanese : c.English);
      EXPECT_EQ(Desktop.Messages.back().Caption, "Tomlet");
      EXPECT_TRUE(Desktop.ShellLaunched.empty());
      EXPECT_EQ(Session.Splitter.Run, 0);
    }
  }
}

TEST_F(SplitterCommands, NextLaunchFailureEndsTheRun) {
  Configure(1000);
  AddFiles(3);
  Desktop.MessageAnswers.push_back(MessageAnswer::Yes);
  Desktop.ShellLaunchResults = {true, false};
  RunSplitAll(Session, Desktop);
  HandleSplitterNotify(Session, Desktop, 0);
  const MessageRequest& last = Desktop.Messages.back();
  EXPECT_EQ(last.Text, "Can't Find Tomlet");
  EXPECT_EQ(last.Caption, "Folvex");
  EXPECT_TRUE(last.StayOnTop);
  EXPECT_EQ(Session.Splitter.Run, 0);
  // Only the first file's list file is left (handed over); the failed one was deleted.
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(TmpFolder)) ++files;
  EXPECT_EQ(files, 1u);
}

// The selection changes while a run goes on (the list on screen passes every change on): the run
// still splits exactly the files it took at its start, and the commands after it act on the
// selection as it is now.
TEST_F(SplitterCommands, SelectionChangedDuringARunKeepsTheRunsFiles) {
  Configure(1000);
  Session.Settings.OrgFileDelete = false;
  Session.Settings.NewFileRecord = false;
  for (int i = 0; i < 4; ++i) AddRow(Pdf("f" + std::to_string(i) + ".pdf", i + 2), i < 3);
  Desktop.MessageAnswers.push_back(MessageAnswer::Yes);
  RunSplitAll(Session, Desktop);
  ASSERT_EQ(Session.Splitter.Run, 3);

  // The user now selects f1 and f3 instead of f0, f1 and f2.
  for (int i = 0; i < 4; ++i) Session.List.Rows[static_cast<std::size_t>(i)].Selected = i == 1 || i == 3;
  Session.List.Rows[3].Focused = true;
  for (int notice = 0; notice < 3; ++notice) HandleSplitterNotify(Session, Desktop, 0);
  ASSERT_EQ(Desktop.ShellLaunched.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(ListFileText(Desktop.ShellLaunched[i].second), "\n" + Row(static_cast<int>(i)).Path + "\n");
  }
  EXPECT_EQ(Desktop.MessageTexts().back(), "Done");
  EXPECT_EQ(Session.Splitter.Run, 0);
  EXPECT_TRUE(Session.Splitter.RunFiles.empty());
  EXPECT_EQ(Names(), "f0.pdf f1.pdf* f2.pdf f3.pdf*");

  // Merge Selected joins f1 (3 pages) and f3 (5 pages); Delete removes them.
  Desktop.SaveFileAnswers.push_back(PathOf("merged.pdf"));
  ASSERT_TRUE(RunCommand(Session, Desktop, kCmdMergeSelect));
  EXPECT_EQ(testing::PdfinfoPages(PathOf("merged.pdf")), 8);
  ASSERT_TRUE(RunCommand(Session, Desktop, kCmdDelete));
  ASSERT_EQ(Session.List.Rows.size(), 2u);
  EXPECT_EQ(Row(0).Name + " " + Row(1).Name, "f0.pdf f2.pdf");
}

}  // namespace
}  // namespace folvex
