// folvex merge, judged by qpdf, pdfinfo, pdftotext, pdftoppm and mutool.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "engine/assembly/merge.h"
#include "engine/core/job_control.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::Folvex;
using testing::HaveTool;
using testing::PageText;
using testing::Quoted;
using testing::RunCommand;
using testing::SimplePdf;
using testing::TempDir;
using testing::WriteTempFile;

bool HaveOracles() { return HaveTool("qpdf") && HaveTool("pdftotext") && HaveTool("pdftoppm") && HaveTool("mutool"); }

std::string Joined(const std::vector<std::string>& paths) {
  std::string joined;
  for (const std::string& path : paths) joined += Quoted(path) + " ";
  return joined;
}

// A one-page file of the given header version and comment line (empty: none). The catalog of a
// merged file moves behind the pages, so the information dictionary follows the header.
std::string VersionedPdf(const std::string& version, const std::string& comment) {
  std::string pdf = SimplePdf(1);
  const std::size_t firstLine = pdf.find('\n') + 1;
  const std::size_t secondLine = pdf.find('\n', firstLine) + 1;
  const std::string head = "%PDF-" + version + "\n" + (comment.empty() ? "" : comment + "\n");
  // Keep the offsets of the table right: pad the new head to the old one's length.
  std::string padded = head + std::string(secondLine > head.size() ? secondLine - head.size() : 0, ' ');
  return padded + pdf.substr(secondLine);
}

TEST(MergeCommand, HeaderComesFromTheNewestVersionAndTheFirstCommentLine) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> Inputs;  // version, comment line
    std::string Head;
  };
  const std::vector<Case> cases = {
      {{{"1.3", ""}, {"1.4", "%\xE2\xE3\xCF\xD3"}}, "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n2 0 obj\n"},
      {{{"1.4", ""}, {"1.3", "%first comment"}}, "%PDF-1.4\n%first comment\n2 0 obj\n"},
      // A header line with more than the version is written as the version alone.
      {{{"1.4 tail", "%a"}, {"1.4", "%b"}}, "%PDF-1.4\n%a\n2 0 obj\n"},
      {{{"1.6" + std::string(2000, ' ') + "x", ""}, {"1.5", ""}}, "%PDF-1.6\n2 0 obj\n"},
      {{{"1.10", ""}, {"1.9", ""}}, "%PDF-1.10\n2 0 obj\n"},
  };
  int count = 0;
  for (const Case& c : cases) {
    std::vector<std::string> inputs;
    for (const auto& [version, comment] : c.Inputs) {
      inputs.push_back(WriteTempFile("merge-version-" + std::to_string(++count) + ".pdf", VersionedPdf(version, comment)));
    }
    const std::string output = TempDir() + "/merge-version-out.pdf";
    testing::CommandResult run = Folvex("merge " + Joined(inputs) + "-o " + Quoted(output) + " --quiet");
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_EQ(testing::ReadFile(output).substr(0, c.Head.size()), c.Head);
    if (HaveTool("qpdf")) {
      EXPECT_TRUE(testing::CheckWithQpdf(output).Clean);
    }
  }
}

TEST(MergeCommand, FileNameOutlinesAboveTheKeptOutlines) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  testing::PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 6 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 300 400] >>");
  w.Object(3, "<< /Type /Page /Parent 2 0 R >>");
  w.Object(4, "<< /Type /Page /Parent 2 0 R >>");
  w.Object(6, "<< /First 7 0 R /Last 7 0 R /Count 1 >>");
  w.Object(7, "<< /Title (Chapter) /Parent 6 0 R /Dest [4 0 R /Fit] >>");
  w.Finish("/Size 8 /Root 1 0 R");
  const std::vector<std::string> inputs = {WriteTempFile("日本語 ファイル.pdf", w.Bytes()),
                                           WriteTempFile("report.pdf", SimplePdf(2))};
  const std::string output = TempDir() + "/merge-outlines.pdf";
  testing::CommandResult run =
      Folvex("merge " + Joined(inputs) + "-o " + Quoted(output) +
             " --file-outlines --outlines keep --outlines-under-files --file-outlines-closed --outline-color FF0000 "
             "--outline-bold --outline-italic --page-mode outlines-or-thumbs --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_TRUE(testing::CheckWithQpdf(output).Clean) << testing::CheckWithQpdf(output).Output;
  const std::string outline = RunCommand("mutool show " + Quoted(output) + " outline").Output;
  EXPECT_EQ(outline,
            "+\t\"日本語 ファイル\"\t#page=1&zoom=nan,300,0\n"
            "|\t\t\"Chapter\"\t#page=2&view=Fit\n"
            "|\t\"report\"\t#page=3&zoom=nan,612,0\n")
      << outline;
  const std::string bytes = testing::ReadFile(output);
  EXPECT_NE(bytes.find("/C [ 1.000000 0.000000 0.000000 ]\n/F 3\n"), std::string::npos);
  EXPECT_NE(bytes.find("/PageMode /UseOutlines\n/Outlines "), std::string::npos);
}

TEST(MergeCommand, ProtectedInputsMergeOnlyWhenTheyAreProtectedAlike) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string plain = WriteTempFile("merge-plain.pdf", SimplePdf(2));
  const std::string locked = TempDir() + "/merge-locked.pdf";
  const std::string other = TempDir() + "/merge-other.pdf";
  ASSERT_TRUE(testing::EncryptWithQpdf(plain, locked, "", "owner", "128 --use-aes=n"));
  ASSERT_TRUE(testing::EncryptWithQpdf(plain, other, "", "another", "128 --use-aes=n"));
  const std::string output = TempDir() + "/merge-locked-out.pdf";

  testing::CommandResult run = Folvex("merge " + Joined({locked, locked}) + "-o " + Quoted(output) + " --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(testing::QpdfEncryptionValue(output, "owner", "R"), "3");
  EXPECT_TRUE(testing::CheckWithQpdf(output).Clean) << testing::CheckWithQpdf(output).Output;
  EXPECT_EQ(PageText(output, 4), PageText(plain, 2));

  struct Case {
    std::vector<std::string> Inputs;
    std::string Named;
  };
  for (const Case& c : {Case{{locked, plain}, plain}, Case{{plain, locked}, locked}, Case{{locked, other}, other}}) {
    std::filesystem::remove(output);
    testing::CommandResult refused = Folvex("merge " + Joined(c.Inputs) + "-o " + Quoted(output));
    EXPECT_EQ(refused.ExitCode, 10) << refused.Output;
    EXPECT_NE(refused.Output.find("Some Files have Different Security\n  " + c.Named), std::string::npos) << refused.Output;
    EXPECT_FALSE(std::filesystem::exists(output));
  }
}

TEST(MergeCommand, FailuresNameTheInputAndLeaveNoOutput) {
  const std::string good = WriteTempFile("merge-good.pdf", SimplePdf(2));
  const std::string notes = WriteTempFile("merge-notes.txt", "plain words, no PDF\n");
  const std::string missing = TempDir() + "/merge-absent.pdf";
  const std::string output = TempDir() + "/merge-fail-out.pdf";
  struct Case {
    std::vector<std::string> Inputs;
    std::string Output;
    int Status;
    std::string Message;
  };
  const std::vector<Case> cases = {
      {{good, missing}, output, 2, "File Not Found\n  " + missing},
      {{good, notes}, output, 3, "Failure - Merge\n  " + notes},
      {{good, good}, good, 1, "the new file would replace a file of this job"},
      {{good, good}, TempDir() + "/no-such-folder/out.pdf", 4, "Can't Save"},
  };
  for (const Case& c : cases) {
    testing::CommandResult run = Folvex("merge " + Joined(c.Inputs) + "-o " + Quoted(c.Output));
    EXPECT_EQ(run.ExitCode, c.Status) << run.Output;
    EXPECT_NE(run.Output.find(c.Message), std::string::npos) << run.Output;
    EXPECT_FALSE(std::filesystem::exists(output));
  }
}

TEST(RunMerge, FiftyFilesAndThePageCountsHandedBack) {
  MergeJob job;
  for (int i = 0; i < 50; ++i) {
    job.Inputs.push_back({WriteTempFile("merge-many-" + std::to_string(i) + ".pdf", SimplePdf(1 + i % 3))});
  }
  job.OutputPath = TempDir() + "/merge-fifty.pdf";
  job.CreationDateText = "20260102030405";
  job.ProducerText = "test";
  EngineState state;
  ASSERT_EQ(RunMerge(state, job), kMergeDone);
  int total = 0;
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(job.Inputs[static_cast<std::size_t>(i)].PageCount, 1 + i % 3);
    EXPECT_FALSE(job.Inputs[static_cast<std::size_t>(i)].Encrypted);
    total += 1 + i % 3;
  }
  EXPECT_EQ(job.JobResultIndex, total);
  if (!HaveTool("qpdf")) return;
  EXPECT_TRUE(testing::CheckWithQpdf(job.OutputPath).Clean);
  EXPECT_EQ(testing::PdfinfoPages(job.OutputPath), total);
  EXPECT_EQ(PageText(job.OutputPath, total), PageText(job.Inputs.back().Path, job.Inputs.back().PageCount));
}

// The inputs are read twice: first all of them, to count and check, then one at a time as their
// pages are written. An input that changed in between fails the merge and leaves no output; one
// written again with the same bytes does not. Classic inputs are read again as they stand; inputs
// with object streams (made by qpdf) have their converted objects kept from the first pass.
TEST(RunMerge, AnInputThatChangesBeforeItsPagesAreWrittenFailsTheMerge) {
  struct Case {
    const char* Name;
    std::optional<std::string> Replacement;  // none: the file is removed
    std::string Appended;                    // bytes behind the end of the replacement
    int Result;
  };
  const std::vector<Case> cases = {
      {"the same bytes", SimplePdf(1), "", kMergeDone},
      {"more pages", SimplePdf(3), "", kMergeFailed},
      {"as many pages, other bytes", SimplePdf(1), "% appended\n", kMergeFailed},
      {"one byte of a page's text", [] {
         std::string pdf = SimplePdf(1);
         pdf[pdf.find("(Page 1)") + 1] = 'p';
         return pdf;
       }(), "", kMergeFailed},
      {"removed", std::nullopt, "", kMergeFailed},
  };
  for (const bool streams : {false, true}) {
    if (streams && !HaveTool("qpdf")) continue;
    const auto write = [&](const std::string& name, const std::string& bytes, const std::string& appended = "") {
      std::string path = WriteTempFile(name, bytes);
      if (streams) RunCommand("qpdf --object-streams=generate --replace-input " + Quoted(path));
      if (!appended.empty()) path = WriteTempFile(name, testing::ReadFile(path) + appended);
      return path;
    };
    for (const Case& c : cases) {
      const std::string label = std::string(c.Name) + (streams ? " (object streams)" : "");
      MergeJob job;
      job.Inputs = {{write("merge-stable.pdf", SimplePdf(2))}, {write("merge-changing.pdf", SimplePdf(1))}};
      job.OutputPath = TempDir() + "/merge-changed-out.pdf";
      job.CreationDateText = "20260102030405";
      job.ProducerText = "test";
      std::filesystem::remove(job.OutputPath);
      JobControl control;
      bool changed = false;
      control.ProgressSink = [&](int, const std::string& text) {
        if (changed || text.rfind("Creating", 0) != 0) return;
        changed = true;
        if (c.Replacement) {
          write("merge-changing.pdf", *c.Replacement, c.Appended);
        } else {
          std::filesystem::remove(job.Inputs[1].Path);
        }
      };
      EngineState state;
      state.Control = &control;
      EXPECT_EQ(RunMerge(state, job), c.Result) << label;
      EXPECT_TRUE(changed) << label;
      if (c.Result == kMergeDone) {
        EXPECT_EQ(job.JobResultIndex, 3) << label;
        if (HaveTool("qpdf")) {
          EXPECT_TRUE(testing::CheckWithQpdf(job.OutputPath).Clean) << label;
        }
        continue;
      }
      EXPECT_EQ(job.JobResultIndex, 1) << label;
      for (const auto& entry : std::filesystem::directory_iterator(TempDir())) {
        EXPECT_EQ(entry.path().filename().string().rfind("merge-changed-out", 0), std::string::npos) << label;
      }
    }
  }
}

}  // namespace
}  // namespace folvex
