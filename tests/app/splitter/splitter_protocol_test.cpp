// The splitter's command lines, option words and list file, from both sides, and the version
// table.
#include "app/splitter/splitter_protocol.h"

#include <gtest/gtest.h>

#include "app/splitter/splitter_version.h"

namespace folvex {
namespace {

TEST(SplitterProtocol, CommandLinesOfEveryLaunchAndVersionClass) {
  struct Case {
    SplitLaunch Launch;
    int Version;
    const char* Prefix;
    const char* Expected;
  };
  for (const Case& c : {
           Case{SplitLaunch::AllPages, 990, "", "-Auto C:\\a b\\x.pdf"},
           Case{SplitLaunch::RunFile, 990, "", "-Ac4242 C:\\a b\\x.pdf"},
           Case{SplitLaunch::PageInput, 861, "", "-Autop C:\\a b\\x.pdf"},
           Case{SplitLaunch::AllPages, 1000, "", "-Bu ~tpfd1A2B.tmp"},
           Case{SplitLaunch::RunFile, 99999, "", "-Bc4242 ~tpfd1A2B.tmp"},
           Case{SplitLaunch::PageInput, 1000, "", "-Bp ~tpfd1A2B.tmp"},
           Case{SplitLaunch::AllPages, 99999, "/us", "/us-Bu ~tpfd1A2B.tmp"},
           Case{SplitLaunch::RunFile, 1000, "/jp", "/jp-Bc4242 ~tpfd1A2B.tmp"},
           Case{SplitLaunch::PageInput, 1000, "/jp", "/jp-Bp ~tpfd1A2B.tmp"},
           Case{SplitLaunch::AllPages, 910, "/jp", "/jp-Auto C:\\a b\\x.pdf"},
           Case{SplitLaunch::RunFile, 940, "/us", "/us-Ac4242 C:\\a b\\x.pdf"},
           Case{SplitLaunch::PageInput, 990, "/us", "/us-Autop C:\\a b\\x.pdf"},
       }) {
    const std::string target = UsesListFile(c.Version) ? "~tpfd1A2B.tmp" : "C:\\a b\\x.pdf";
    const std::string line = SplitterCommandLine(c.Launch, c.Version, c.Prefix, target, 4242);
    EXPECT_EQ(line, c.Expected);

    // The splitter reads back what was written.
    const std::optional<SplitterCommand> parsed = ParseSplitterCommandLine(line);
    ASSERT_TRUE(parsed.has_value()) << line;
    EXPECT_EQ(parsed->Launch, c.Launch) << line;
    EXPECT_EQ(parsed->ListFile, UsesListFile(c.Version)) << line;
    EXPECT_EQ(parsed->Target, target) << line;
    EXPECT_EQ(parsed->Window, c.Launch == SplitLaunch::RunFile ? 4242u : 0u) << line;
    EXPECT_EQ(parsed->LanguageForced, std::string(c.Prefix) != "") << line;
    EXPECT_EQ(parsed->Japanese, std::string(c.Prefix) == "/jp") << line;
  }
  EXPECT_EQ(SplitterLanguagePrefix(false, true), "");
  EXPECT_EQ(SplitterLanguagePrefix(true, true), "/jp");
  EXPECT_EQ(SplitterLanguagePrefix(true, false), "/us");
}

TEST(SplitterProtocol, CommandLinesTheSplitterRefuses) {
  for (const char* line : {"", "-Auto", "-Auto ", "-Bu", "-Bc ~tpfd", "-Bc12", "-Acx C:\\x.pdf", "/fr-Bu x",
                           "Auto x.pdf", "-Bx x"}) {
    EXPECT_FALSE(ParseSplitterCommandLine(line).has_value()) << line;
  }
  // Quotes and blanks around the target are not part of it; letter case of the prefix is free.
  const std::optional<SplitterCommand> quoted = ParseSplitterCommandLine(" /JP-Autop \"C:\\x y.pdf\" ");
  ASSERT_TRUE(quoted.has_value());
  EXPECT_EQ(quoted->Target, "C:\\x y.pdf");
  EXPECT_TRUE(quoted->Japanese);
}

TEST(SplitterProtocol, OptionWordsOfTheSplitSettings) {
  struct Case {
    const char* DispScale;
    int Layout, Direction, Keep, Mode;
    const char* Words;
  };
  for (const Case& c : {
           Case{"150F", 2, 0, 1, 3, "/d150f /p2l /ok /nt "},
           Case{"N", 0, 0, 0, 0, ""},
           Case{"", 7, 3, 3, 4, ""},  // values without a word
           Case{"A", 1, 1, 2, 1, "/da /p1 /ir /okt /no "},
           Case{"H", 3, 2, 0, 2, "/dh /p2r /io /not "},
           Case{"O", 4, 0, 0, 5, "/do /po /norg "},
           Case{"W", 5, 0, 0, 6, "/dw /ps /non "},
           Case{"75", 0, 0, 0, 0, "/d75 "},
           Case{"120f", 0, 0, 0, 0, "/d120f "},
       }) {
    OutputSettings settings;
    settings.DispScale = c.DispScale;
    settings.PageLayout = c.Layout;
    settings.Direction = c.Direction;
    settings.OutlineKeepS = c.Keep;
    settings.PageModeS = c.Mode;
    settings.OutlineKeepE = settings.PageModeE = 1;  // the extract values are not the split's
    EXPECT_EQ(SplitterOptionWords(settings), c.Words) << c.DispScale;

    const std::string text = SplitListText(settings, "/in put/a.pdf");
    EXPECT_EQ(text, std::string(c.Words) + "\n/in put/a.pdf\n");
    const std::optional<SplitList> list = ParseSplitListText(text);
    ASSERT_TRUE(list.has_value()) << text;
    EXPECT_EQ(list->InputPath, "/in put/a.pdf");
    // Reading the words back gives the same words.
    EXPECT_EQ(SplitterOptionWords(list->Settings), c.Words) << c.DispScale;
  }
}

TEST(SplitterProtocol, ListFileTexts) {
  // Windows line ends are read as well; a text without a path, or with a word nobody writes, is refused.
  const std::optional<SplitList> crlf = ParseSplitListText("/dw /p1 \r\nC:\\x.pdf\r\n");
  ASSERT_TRUE(crlf.has_value());
  EXPECT_EQ(crlf->InputPath, "C:\\x.pdf");
  EXPECT_EQ(crlf->Settings.DispScale, "W");
  EXPECT_EQ(crlf->Settings.PageLayout, 1);
  for (const char* text : {"", "/p1 \n", "/p1 \n\n", "/zz \nx.pdf\n", "/d12x \nx.pdf\n"}) {
    EXPECT_FALSE(ParseSplitListText(text).has_value()) << text;
  }
}

TEST(SplitterVersion, SizesOfTheReleases) {
  struct Case {
    std::uint64_t Size;
    int Version;
  };
  for (const Case& c : {Case{221184, 840}, Case{233472, 861}, Case{253952, 910}, Case{290816, 990},
                        Case{307200, 1000}, Case{1, 990}, Case{307199, 990}, Case{307201, 99999},
                        Case{4 << 20, 99999}}) {
    EXPECT_EQ(SplitterVersionOfSize(c.Size), c.Version) << c.Size;
  }
  EXPECT_EQ(ReadSplitterVersion("/nonexistent/Tomlet.exe"), -1);
}

}  // namespace
}  // namespace folvex
