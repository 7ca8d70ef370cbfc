#include "engine/assembly/output_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

// A whole catalog object holding entries (each with its line break).
std::string Catalog(std::string_view entries) {
  return "1 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n" + std::string(entries) + ">>\nendobj\n";
}

const std::string kPlainCatalog = Catalog("");
const std::string kFitWindow = "/ViewerPreferences << /FitWindow true >>\n";

// The settings of a job and the catalog it must write for first page 5, viewer entries included.
// FitWindow and InheritedOpenAction are taken as prepared unless given, as the catalog analysis
// of the first input would set them.
struct CatalogCase {
  const char* Scale;
  std::string Expected;
  int Page = 5;
  int FitWindow = -1;
  long Inherited = kOpenActionNotLookedUp;
  int Direction = 0, Layout = 0, Mode = 0;
  bool Outlines = false;
};

TEST(CatalogObjectTest, EachDispScaleFormAndViewerEntry) {
  const std::string r2l = "/ViewerPreferences << /Direction /R2L >>\n";
  const std::vector<CatalogCase> cases = {
      {.Scale = "N", .Expected = kPlainCatalog},
      {.Scale = "", .Expected = kPlainCatalog},
      {.Scale = "O", .Expected = kPlainCatalog},  // before any lookup
      {.Scale = "A", .Expected = Catalog("/OpenAction [ 5 0 R /Fit ]\n")},
      {.Scale = "A", .Expected = Catalog("/OpenAction [ 13 0 R /Fit ]\n"), .Page = 13},
      {.Scale = "W", .Expected = Catalog("/OpenAction [ 5 0 R /FitH null ]\n")},
      // FitWindow is never written for the fit forms, even when set.
      {.Scale = "W", .Expected = Catalog("/OpenAction [ 5 0 R /FitH null ]\n"), .FitWindow = 1},
      {.Scale = "H", .Expected = Catalog("/OpenAction [ 5 0 R /FitV null ]\n")},
      {.Scale = "150", .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 1.500000 ]\n")},
      {.Scale = "7", .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 0.070000 ]\n")},
      {.Scale = "33", .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 0.330000 ]\n")},
      {.Scale = "1600", .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 16.000000 ]\n")},
      {.Scale = "999999999999999", .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 21474836.470000 ]\n")},
      {.Scale = "150F", .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 1.500000 ]\n" + kFitWindow)},
      {.Scale = "150f", .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 1.500000 ]\n" + kFitWindow)},
      // Another first letter is zero percent; only a digit-led text can ask to fit the window.
      {.Scale = "X", .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 0.000000 ]\n")},
      {.Scale = "XF", .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 0.000000 ]\n")},
      {.Scale = "N", .Expected = Catalog("/PageLayout /OneColumn\n"), .Layout = 1},
      {.Scale = "A", .Expected = Catalog("/OpenAction [ 5 0 R /Fit ]\n" + r2l), .Direction = 1},
      // Right to left extends the fit-window dictionary instead of writing a second one.
      {.Scale = "150F",
       .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 1.500000 ]\n/ViewerPreferences << /FitWindow true "
                           "\n/Direction /R2L >>\n/PageLayout /TwoColumnLeft\n"),
       .Direction = 1, .Layout = 2},
      // An inherited view that found no open action writes neither it nor the fit-window dictionary.
      {.Scale = "O", .Expected = Catalog(r2l), .FitWindow = 1, .Inherited = kOpenActionNoneFound, .Direction = 1},
      {.Scale = "N", .Expected = Catalog(r2l + "/PageLayout /SinglePage\n/PageMode /FullScreen\n"),
       .Direction = 1, .Layout = 5, .Mode = 4},
      {.Scale = "N", .Expected = Catalog("/PageMode /UseNone\n"), .Mode = 6},
      // Inherit codes that the analysis never resolved write nothing.
      {.Scale = "N", .Expected = kPlainCatalog, .Direction = 2, .Layout = 4, .Mode = 5, .Outlines = true},
  };
  for (const CatalogCase& c : cases) {
    EngineState state;
    state.Settings.DispScale = c.Scale;
    state.Settings.Direction = c.Direction;
    state.Settings.PageLayout = c.Layout;
    state.Settings.PageModeE = c.Mode;
    PrepareJobSettings(state, JobOperation::Extract);
    if (c.FitWindow >= 0) state.Job.FitWindow = c.FitWindow;
    if (c.Inherited != kOpenActionNotLookedUp) state.Job.InheritedOpenAction = c.Inherited;
    std::string out;
    ASSERT_EQ(AppendCatalogObject(out, state.Job, c.Scale, c.Page, nullptr), 0) << c.Scale;
    ASSERT_TRUE(AppendViewerEntries(out, state.Job, c.Scale, c.Outlines)) << c.Scale;
    EXPECT_EQ(out, c.Expected) << "DispScale " << c.Scale;
    EXPECT_EQ(CatalogHasFitWindowDictionary(state.Job, c.Scale), c.Expected.find("/FitWindow") != std::string::npos)
        << c.Scale;
  }
}

TEST(CatalogObjectTest, InheritedDestinationIsCopiedUpToItsClosingBracket) {
  JobSettings job;
  std::string out;
  auto inherit = [&](const std::string& input, std::string_view from, long offset = -1) {
    const FileImage image = testing::ImageOf(input);
    job.InheritedOpenAction = offset >= 0 ? offset : static_cast<long>(input.find(from));
    return AppendCatalogObject(out, job, "O", 5, &image);
  };
  const std::string input = "1 0 obj << /OpenAction [ 4 0 R /XYZ 0 792 null ] >> endobj";
  ASSERT_EQ(inherit(input, "/XYZ"), 0);
  EXPECT_EQ(out, Catalog("/OpenAction [ 5 0 R /XYZ 0 792 null ]\n"));
  job.FitWindow = 1;
  out.clear();
  ASSERT_EQ(inherit(input, "/XYZ"), 0);
  EXPECT_EQ(out, Catalog("/OpenAction [ 5 0 R /XYZ 0 792 null ]\n" + kFitWindow));
  EXPECT_TRUE(CatalogHasFitWindowDictionary(job, "O"));

  // Brackets in comments do not count; the closing bracket may be the image's last byte.
  job.FitWindow = 0;
  out.clear();
  ASSERT_EQ(inherit("[ 4 0 R /FitH % old ] view\r\n 700 ]", "/FitH"), 0);
  EXPECT_EQ(out, Catalog("/OpenAction [ 5 0 R /FitH % old ] view\r\n 700 ]\n"));

  out = "kept";
  const std::string unterminated = "[ 4 0 R /XYZ 0 0 % ] hidden";
  EXPECT_EQ(inherit(unterminated, "/XYZ"), kInheritedDestinationUnterminated);
  EXPECT_EQ(inherit(unterminated, "", static_cast<long>(unterminated.size())), -312);
  EXPECT_EQ(AppendCatalogObject(out, job, "O", 5, nullptr), -312);
  EXPECT_EQ(out, "kept");
}

TEST(CatalogEntryTest, EntriesGoBeforeTheClosingOrTheBufferIsLeftAlone) {
  std::string buffer = "body bytes before the moved catalog\n" + kPlainCatalog;
  ASSERT_TRUE(AppendCatalogEntry(buffer, "/Outlines 9 0 R"));
  EXPECT_EQ(buffer, "body bytes before the moved catalog\n" + Catalog("/Outlines 9 0 R\n"));

  const std::string unclosed = "1 0 obj\n<<\n>>\nendobj";
  buffer = unclosed;
  EXPECT_FALSE(AppendCatalogEntry(buffer, "/PageMode /UseThumbs"));
  JobSettings job;
  job.JobPageMode = 3;
  EXPECT_FALSE(AppendViewerEntries(buffer, job, "N", false));
  EXPECT_EQ(buffer, unclosed);
  job.JobPageMode = 0;  // nothing to append needs no catalog
  EXPECT_TRUE(AppendViewerEntries(buffer, job, "N", false));
}

TEST(CatalogEntryTest, PageModeAndLayoutEntries) {
  EXPECT_EQ(PageModeEntry(2, true), "/PageMode /UseOutlines");
  EXPECT_EQ(PageModeEntry(2, false), "/PageMode /UseThumbs");
  EXPECT_EQ(PageModeEntry(6, true), "/PageMode /UseOutlines");
  EXPECT_EQ(PageModeEntry(6, false), "/PageMode /UseNone");
  for (int mode : {0, 5, 7, -1}) EXPECT_TRUE(PageModeEntry(mode, true).empty()) << mode;
  for (int layout : {0, 4, 6, -1}) EXPECT_TRUE(PageLayoutEntry(layout).empty()) << layout;
  EXPECT_EQ(PageLayoutEntry(3), "/PageLayout /TwoColumnRight");
}

TEST(PrepareJobSettingsTest, ExtractAndMergeTakeTheirOwnFields) {
  EngineState state;
  state.Settings.PageModeE = 3;
  state.Settings.PageModeM = 6;
  state.Settings.OutlineKeepE = 1;
  state.Settings.OutlineKeepM = 2;
  state.Settings.PageLayout = 4;
  state.Settings.Direction = 2;
  PrepareJobSettings(state, JobOperation::Extract);
  const JobSettings& job = state.Job;
  EXPECT_EQ((std::vector<int>{job.JobPageMode, job.JobOutlineKeep, job.KeepOutlines, job.OutlinesToTop,
                              job.JobPageLayout, job.JobDirection}),
            (std::vector<int>{3, 1, 1, 0, 4, 2}));
  PrepareJobSettings(state, JobOperation::Merge);
  EXPECT_EQ((std::vector<int>{job.JobPageMode, job.JobOutlineKeep, job.KeepOutlines, job.OutlinesToTop}),
            (std::vector<int>{6, 2, 1, 1}));
  for (int keep : {0, -1}) {  // -1: a keeping list left without a selection
    state.Settings.OutlineKeepM = keep;
    PrepareJobSettings(state, JobOperation::Merge);
    EXPECT_EQ(job.KeepOutlines, 0) << keep;
    EXPECT_EQ(job.OutlinesToTop, 0) << keep;
  }
}

TEST(PrepareJobSettingsTest, FitWindowAndOpenActionMark) {
  EngineState state;
  state.Job.InheritedOpenAction = 1234;  // left from an earlier job
  state.Job.FitWindow = 1;
  state.Settings.DispScale = "O";
  PrepareJobSettings(state, JobOperation::Extract);
  EXPECT_EQ(state.Job.FitWindow, 0);
  EXPECT_EQ(state.Job.InheritedOpenAction, kOpenActionNotLookedUp);
  for (auto [scale, fit] : std::vector<std::pair<const char*, int>>{
           {"150F", 1}, {"80f", 1}, {"150", 0}, {"N", 0}, {"A", 0}, {"XF", 0}, {"F", 0}, {"", 0}}) {
    for (JobOperation operation : {JobOperation::Extract, JobOperation::Merge}) {
      state.Settings.DispScale = scale;
      PrepareJobSettings(state, operation);
      EXPECT_EQ(state.Job.FitWindow, fit) << scale;
    }
  }
}

TEST(DispScaleTest, FormsAndPercentages) {
  EXPECT_EQ(ClassifyDispScale("NX"), OpenView::None);
  EXPECT_EQ(ClassifyDispScale("O"), OpenView::Inherit);
  EXPECT_EQ(ClassifyDispScale("a"), OpenView::Percentage);
  EXPECT_EQ(DispScalePercentage("150F"), 150);
  EXPECT_EQ(DispScalePercentage("X150"), 0);
  EXPECT_EQ(DispScalePercentage("999999999999999"), INT32_MAX);
}

}  // namespace
}  // namespace folvex
