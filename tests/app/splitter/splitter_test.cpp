// The companion splitter: its version from the executable's size, availability and the General
// Setting checks, the launches of both split commands with their list files, a several-file run
// driven by notices; and the command lines and list files as the splitter reads them back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "app/commands/operation_commands.h"
#include "app/session/command_ids.h"
#include "app/splitter/splitter_commands.h"
#include "app/splitter/splitter_protocol.h"
#include "app/splitter/splitter_version.h"
#include "tests/support/job_session.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

class Splitter : public testing::JobSession {
 protected:
  void SetUp() override {
    JobSession::SetUp();
    Tmp = PathOf("tmp");
    setenv("TMP", Tmp.c_str(), 1);
  }
  void TearDown() override { unsetenv("TMP"); }
  // An executable of the size of a release (any other size: the newest), in a folder of its own.
  std::string Executable(int version, const std::string& name = "Tomlet.exe") {
    const std::map<int, std::size_t> sizes = {{840, 221184}, {861, 233472}, {990, 290816}, {1000, 307200}};
    return Bytes("v" + std::to_string(version) + "/" + name, std::string(sizes.contains(version) ? sizes.at(version) : 400000, 'M'));
  }
  // A new session with the splitter configured and recognised as at start-up, over files selected files.
  void Start(int version, int files = 0) {
    StartSession(Session, false, Folder);
    Session.Splitter.NotifyWindow = 4242;
    std::filesystem::remove_all(Tmp);
    std::filesystem::create_directories(Tmp);
    Session.Settings.Tomlet = Executable(version);
    StartSplitter(Session, Desktop);
    ASSERT_TRUE(Session.Splitter.Available);
    Desktop = testing::ScriptedDesktop();
    for (int i = 0; i < files; ++i) AddRow(Pdf("f" + std::to_string(i) + ".pdf", i + 2), true);
  }
  // Each launch's command line, a list file shown as its text in brackets; then the messages (a
  // run's own, above every window, marked "!"); without the folder's path.
  std::string Launches() const {
    std::string text;
    for (const auto& [program, line] : Desktop.ShellLaunched) {
      const std::size_t list = line.find("~tpfd");
      text += list == std::string::npos ? line : line.substr(0, list) + "[" + testing::ReadFile(Tmp + "/" + line.substr(list)) + "]";
      text += "; ";
    }
    for (const MessageRequest& m : Desktop.Messages) text += m.Text + (m.Caption == "Tomlet" && m.StayOnTop ? "!" : "") + "; ";
    for (std::size_t at; (at = text.find(Folder + "/")) != std::string::npos;) text.erase(at, Folder.size() + 1);
    return text;
  }
  std::string Tmp;
};

// Each path: the splitter at start-up (available from release 861 on), then typed in the General
// Setting dialog at one press of OK: refused with its message (E error, I information; the dialog
// is then cancelled and the splitter state left as reset) or taken with its version.
TEST_F(Splitter, AvailabilityAtStartAndTheGeneralSettingChecks) {
  struct Case { std::string Path; bool AtStart; int StartVersion; const char* Message; bool Accepted; int Version; };
  const char* old = "Use more than Ver1.00(Tomlet),\nSo All Function will be Available I";
  for (const Case& c : {Case{"", false, -1, "", true, -1}, Case{PathOf("gone/Tomlet.exe"), false, -1, "Tomlet.exe Not Found E", false, -1},
                        Case{Executable(1000, "Tomlet.ex"), true, 1000, "Not Tomlet.exe E", false, -1},
                        Case{Executable(840), false, 840, "Version is Too Low\nUse more than Ver1.00(Tomlet) I", false, -1},
                        Case{Executable(861), true, 861, old, true, 861}, Case{Executable(990), true, 990, old, true, 990},
                        Case{Executable(1000, "TOMLET.EXE"), true, 1000, "", true, 1000}, Case{Executable(99999), true, 99999, "", true, 99999}}) {
    Desktop = testing::ScriptedDesktop();
    Session.Settings.Tomlet = c.Path;
    StartSplitter(Session, Desktop);
    EXPECT_EQ(std::tuple(Session.Splitter.Available, Session.Splitter.Version, Desktop.SplitterMenuItemsPresent, Desktop.Toolbar.SplitButtonsVisible),
              std::tuple(c.AtStart, c.StartVersion, std::optional<bool>(c.AtStart), c.AtStart)) << c.Path;
    Desktop = testing::ScriptedDesktop();
    Session.Settings.Tomlet = "kept";
    Session.Splitter = SplitterState();
    GeneralSettingsValues typed;
    typed.SplitterPath = c.Path;
    typed.PageDisp = true;
    Desktop.GeneralSettingsAnswers.push_back(typed);
    RunGeneralSetting(Session, Desktop);
    std::string shown;
    for (const MessageRequest& m : Desktop.Messages) shown += m.Text + (m.Icon == MessageIcon::Error ? " E" : " I");
    EXPECT_EQ(shown, c.Message);
    EXPECT_TRUE(Session.Settings.PageDisp) << "the switches are stored at every OK";
    EXPECT_EQ(Session.Settings.Tomlet, c.Accepted ? c.Path : "kept");
    EXPECT_EQ(std::pair(Session.Splitter.Available, Session.Splitter.Version), std::pair(c.Version > 0, c.Version)) << c.Path;
    EXPECT_EQ(Desktop.SplitterMenuItemsPresent, c.Accepted ? std::optional<bool>(c.Version > 0) : std::nullopt) << c.Path;
  }
}

// Before release 1000 the splitter gets the path; from it on a list file in TMP (or "~tpfd" in the
// current directory without TMP) with the split settings. Several files ask first and start a run.
TEST_F(Splitter, LaunchesHandTheFileOrAListFileCarryingTheSplitSettings) {
  Start(990, 1);
  Session.Settings.Output.KeepAnnots = 1;  // the path forms carry no settings
  RunSplitAll(Session, Desktop);
  EXPECT_EQ(Launches(), "-Auto f0.pdf; ");
  EXPECT_EQ(Desktop.ShellLaunched[0].first, Session.Settings.Tomlet);
  EXPECT_EQ(Session.Splitter.Run, 0) << "not watched";
  Start(990, 3);
  Desktop.MessageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
  RunSplitAll(Session, Desktop);
  RunSplitAll(Session, Desktop);
  const std::string question = "Selected All Files are splited into Single Pages; ";
  EXPECT_EQ(Launches(), "-Ac4242 f0.pdf; " + question + question);
  EXPECT_EQ(Session.Splitter.Run, 3);

  Start(1000, 1);
  Session.Settings.Output = {.DispScale = "150F", .PageLayout = 2, .OutlineKeepS = 1, .PageModeS = 3, .KeepAnnots = 1};
  RunSplitAll(Session, Desktop);
  Session.Splitter.LanguageForced = true;
  RunSplitPageInput(Session, Desktop);
  Session.Japanese = true;
  RunSplitAll(Session, Desktop);
  const std::string list = "[/d150f /p2l /ok /nt /ka \nf0.pdf\n]; ";
  EXPECT_EQ(Launches(), "-Bu " + list + "/us-Bp " + list + "/jp-Bu " + list);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Tmp), std::filesystem::directory_iterator()), 3);

  Start(99999, 1);
  unsetenv("TMP");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(Folder);
  RunSplitAll(Session, Desktop);
  std::filesystem::current_path(before);
  EXPECT_EQ(Desktop.ShellLaunched.at(0).second, "-Bu ~tpfd");
  EXPECT_EQ(testing::ReadFile(Folder + "/~tpfd"), "\n" + Row(0).Path + "\n");
}

// The notices of a several-file run: 0 and 1 are done, -2 cancels, anything else fails the file; the
// run ends with its message (then E when it is an error), and a late notice is ignored. A run over
// one file names its failure.
TEST_F(Splitter, RunsDrivenByNotices) {
  struct Case { int Files; std::vector<long> Statuses; const char* Message; };
  for (const Case& c : {Case{3, {0, 1, 0}, "Done!; "}, Case{3, {1, 1, 1}, "Done!; "}, Case{3, {0, 2, 0}, "Failure(Some Files)!; E"},
                        Case{3, {-2}, "Canceled!; "}, Case{3, {0, 0, 4}, "Failure(Some Files)!; E"},
                        Case{2, {7, 0}, "Failure(Some Files)!; E"}, Case{1, {2}, "Can't Split\nThis PDF File is Encrypted!; E"},
                        Case{1, {-5}, "Failed!; E"}, Case{1, {1}, "Done!; "}, Case{1, {4}, "Can't Create New Files!; E"},
                        Case{1, {3}, "Can't Split\nThis PDF File has Only One Page!; E"}}) {
    Start(1000, c.Files);
    std::string expected;
    if (c.Files == 1) {
      Session.Splitter.Run = 1;
      Session.Splitter.RunFiles = {Row(0).Path};
    } else {
      Desktop.MessageAnswers.push_back(MessageAnswer::Yes);
      RunSplitAll(Session, Desktop);
      for (std::size_t i = 0; i < c.Statuses.size(); ++i) expected += "-Bc4242 [\nf" + std::to_string(i) + ".pdf\n]; ";
      expected += "Selected All Files are splited into Single Pages; ";
    }
    for (long status : c.Statuses) HandleSplitterNotify(Session, Desktop, status);
    EXPECT_EQ(std::pair(Session.Splitter.Run, Session.Splitter.DoneCount), std::pair(0, 0));
    HandleSplitterNotify(Session, Desktop, 0);  // a late notice is ignored
    EXPECT_EQ(Launches() + (Desktop.Messages.back().Icon == MessageIcon::Error ? "E" : ""), expected + c.Message);
  }
  // The next launch failing ends the run; only the list file handed over is left.
  Start(1000, 3);
  Desktop.MessageAnswers.push_back(MessageAnswer::Yes);
  Desktop.ShellLaunchResults = {true, false};
  RunSplitAll(Session, Desktop);
  HandleSplitterNotify(Session, Desktop, 0);
  EXPECT_EQ(Desktop.Messages.back().Text + " " + Desktop.Messages.back().Caption, "Can't Find Tomlet Folvex");
  EXPECT_TRUE(Desktop.Messages.back().StayOnTop);
  EXPECT_EQ(Session.Splitter.Run, 0);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Tmp), std::filesystem::directory_iterator()), 1);
}

// The list file's option words for every split setting, and read back as the splitter reads them;
// a text without a path, or with a word nobody writes, is refused. The release of an executable
// from its size: an unknown size below release 1000's is 990, else the newest.
TEST(SplitterProtocol, OptionWordsAndListFilesReadBack) {
  struct Case { const char* DispScale; int Layout, Direction, Keep, Mode, Annots; const char* Words; };
  for (const Case& c : {Case{"150F", 2, 0, 1, 3, 0, "/d150f /p2l /ok /nt "}, Case{"N", 0, 0, 0, 0, 0, ""},
                        Case{"", 7, 3, 3, 4, 2, ""},  // values without a word
                        Case{"A", 1, 1, 2, 1, 1, "/da /p1 /ir /okt /no /ka "}, Case{"H", 3, 2, 0, 2, 0, "/dh /p2r /io /not "},
                        Case{"O", 4, 0, 0, 5, 0, "/do /po /norg "}, Case{"W", 5, 0, 0, 6, 0, "/dw /ps /non "},
                        Case{"75", 0, 0, 0, 0, 1, "/d75 /ka "}, Case{"120f", 0, 0, 0, 0, 0, "/d120f "}}) {
    const OutputSettings settings{.DispScale = c.DispScale, .PageLayout = c.Layout, .Direction = c.Direction, .OutlineKeepE = 1,
                                  .OutlineKeepS = c.Keep, .PageModeE = 1, .PageModeS = c.Mode, .KeepAnnots = c.Annots};  // E: not the split's
    const std::string text = SplitListText(settings, "/in put/a.pdf");
    EXPECT_EQ(text, std::string(c.Words) + "\n/in put/a.pdf\n");
    const std::optional<SplitList> list = ParseSplitListText(text);
    ASSERT_TRUE(list.has_value()) << text;
    EXPECT_EQ(list->InputPath + "|" + SplitterOptionWords(list->Settings), "/in put/a.pdf|" + std::string(c.Words));
  }
  for (const char* text : {"", "/p1 \n", "/p1 \n\n", "/zz \nx.pdf\n", "/d12x \nx.pdf\n", "/ka1 \nx.pdf\n", "/KA \nx.pdf\n"}) EXPECT_FALSE(ParseSplitListText(text)) << text;
  for (const auto& [size, version] : {std::pair<std::uint64_t, int>{253952, 910}, {1, 990}, {307199, 990}, {307201, 99999}}) {
    EXPECT_EQ(SplitterVersionOfSize(size), version) << size;  // the other releases' sizes are the executables above
  }
}

}  // namespace
}  // namespace folvex
