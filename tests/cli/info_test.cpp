// folvex info against pdfinfo on files written by other producers, and on damaged copies.
#include <gtest/gtest.h>

#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::HaveTool;
using testing::PdfinfoPages;
using testing::RunCommand;
using testing::SimplePdf;
using testing::TempDir;
using testing::WriteTempFile;

std::string Quote(const std::string& path) { return "'" + path + "'"; }

// The first field of folvex info's line for path.
std::string InfoText(const std::string& path, int* exitCode = nullptr) {
  testing::CommandResult r = RunCommand(std::string(FOLVEX_CLI_PATH) + " info " + Quote(path));
  if (exitCode != nullptr) *exitCode = r.ExitCode;
  std::string line = r.Output.substr(0, r.Output.find('\n'));
  EXPECT_EQ(line.substr(line.find('\t') + 1), path);
  return line.substr(0, line.find('\t'));
}

void ExpectAgreesWithPdfinfo(const std::string& path) {
  int pages = PdfinfoPages(path);
  ASSERT_GT(pages, 0) << "pdfinfo cannot read " << path;
  EXPECT_EQ(InfoText(path), std::to_string(pages)) << path;
}

std::string Make(const std::string& name, const std::string& command) {
  std::string out = TempDir() + "/" + name;
  EXPECT_EQ(RunCommand(command + " 2>/dev/null").ExitCode, 0) << command;
  return out;
}

std::string PostScript(int pages) {
  std::string ps = "%!PS\n/Helvetica findfont 24 scalefont setfont\n";
  for (int i = 1; i <= pages; ++i) ps += "72 700 moveto (Page " + std::to_string(i) + ") show showpage\n";
  return ps;
}

TEST(InfoCommand, AgreesWithPdfinfoOnOtherProducers) {
  for (const char* tool : {"pdfinfo", "qpdf", "gs", "pdftocairo", "mutool"}) {
    if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  std::string simple = WriteTempFile("producers-in.pdf", SimplePdf(9));
  std::string ps = WriteTempFile("producers.ps", PostScript(11));
  std::string dir = TempDir();
  std::vector<std::string> files = {
      Make("gs.pdf", "gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile=" + Quote(dir + "/gs.pdf") + " " + Quote(ps)),
      Make("qpdf.pdf", "qpdf --object-streams=disable " + Quote(simple) + " " + Quote(dir + "/qpdf.pdf")),
      Make("qdf.pdf", "qpdf --qdf " + Quote(simple) + " " + Quote(dir + "/qdf.pdf")),
      Make("cairo.pdf", "pdftocairo -pdf " + Quote(dir + "/gs.pdf") + " " + Quote(dir + "/cairo.pdf")),
      Make("mutool.pdf", "mutool clean " + Quote(simple) + " " + Quote(dir + "/mutool.pdf")),
      Make("linear.pdf", "qpdf --linearize --object-streams=disable " + Quote(dir + "/gs.pdf") + " " +
                             Quote(dir + "/linear.pdf")),
  };
  for (const std::string& file : files) ExpectAgreesWithPdfinfo(file);
}

TEST(InfoCommand, StatesOfUnreadableFiles) {
  int exitCode = 0;
  EXPECT_EQ(InfoText(TempDir() + "/missing.pdf", &exitCode), "X Not Found");
  EXPECT_EQ(exitCode, 2);
  EXPECT_EQ(InfoText(WriteTempFile("readme.txt", "Folvex works on whole PDF files.\n"), &exitCode), "X Not PDF?");
  EXPECT_EQ(exitCode, 3);
  EXPECT_EQ(InfoText(WriteTempFile("ok.pdf", SimplePdf(2)), &exitCode), "2");
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(InfoText(TempDir(), &exitCode), "X Not Found") << "a folder is no file";
  EXPECT_EQ(exitCode, 2);

  testing::CommandResult ja = RunCommand(std::string(FOLVEX_CLI_PATH) + " --lang ja info " + Quote(TempDir() + "/missing.pdf"));
  EXPECT_EQ(ja.Output.substr(0, ja.Output.find('\t')), "X 不明");
}

TEST(InfoCommand, ProtectedFiles) {
  if (!HaveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
  std::string input = WriteTempFile("info-protect.pdf", SimplePdf(12));
  std::string dir = TempDir();
  std::string classic = Make("info-classic-enc.pdf", "qpdf --allow-weak-crypto --object-streams=disable --encrypt u o 128 -- " +
                                                         Quote(input) + " " + Quote(dir + "/info-classic-enc.pdf"));
  std::string streams = Make("info-streams-enc.pdf", "qpdf --allow-weak-crypto --object-streams=generate --encrypt u o 256 -- " +
                                                         Quote(input) + " " + Quote(dir + "/info-streams-enc.pdf"));
  int exitCode = -1;
  EXPECT_EQ(InfoText(classic, &exitCode), "12 Encrypted");
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(InfoText(streams, &exitCode), "Encrypted");
  EXPECT_EQ(exitCode, 3) << "a protected file that cannot be counted is unreadable";
}

TEST(InfoCommand, CrossReferenceStreamsAndDamagedCopies) {
  for (const char* tool : {"pdfinfo", "qpdf", "gs"}) {
    if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  std::string dir = TempDir();
  std::string ps = WriteTempFile("damage.ps", PostScript(6));
  std::string gs = Make("damage-gs.pdf", "gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile=" +
                                             Quote(dir + "/damage-gs.pdf") + " " + Quote(ps));
  std::string streams = Make("damage-streams.pdf", "qpdf --object-streams=generate " + Quote(gs) + " " +
                                                       Quote(dir + "/damage-streams.pdf"));
  ExpectAgreesWithPdfinfo(streams);

  std::string original = testing::ReadFile(gs);
  std::string stripped = original.substr(0, original.rfind("xref"));
  EXPECT_EQ(InfoText(WriteTempFile("damage-stripped.pdf", stripped)), "6");
  EXPECT_EQ(InfoText(WriteTempFile("damage-shifted.pdf", "%PDF-1.4\n% junk junk junk\n" + original)), "6");
  EXPECT_EQ(InfoText(WriteTempFile("damage-truncated.pdf", original.substr(0, original.size() - 40))), "6");
  EXPECT_EQ(InfoText(WriteTempFile("damage-prefixed.pdf", "garbage before the header\n" + original)), "6");
}

TEST(InfoCommand, SeveralFilesOneLineEach) {
  std::string a = WriteTempFile("multi-a.pdf", SimplePdf(1));
  std::string b = WriteTempFile("multi-b.pdf", SimplePdf(3));
  testing::CommandResult r = RunCommand(std::string(FOLVEX_CLI_PATH) + " info " + Quote(a) + " " + Quote(b));
  EXPECT_EQ(r.Output, "1\t" + a + "\n3\t" + b + "\n");
  EXPECT_EQ(r.ExitCode, 0);
  for (const char* arguments : {" info", " --lang fr info a.pdf", " --bogus info a.pdf", " frobnicate a.pdf", ""}) {
    EXPECT_EQ(RunCommand(std::string(FOLVEX_CLI_PATH) + arguments + " 2>/dev/null").ExitCode, 1) << arguments;
  }
}

}  // namespace
}  // namespace folvex
