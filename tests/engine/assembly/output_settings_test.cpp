#include "engine/assembly/output_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

constexpr std::string_view kPlainCatalog = "1 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n>>\nendobj\n";
constexpr std::string_view kOpenActionHead = "1 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n/OpenAction [ 5 0 R ";

// The catalog a job with these settings writes, prepared the way the drivers prepare it.
std::string CatalogFor(std::string_view dispScale, int firstPage = 5) {
  EngineState state;
  state.Settings.DispScale = std::string(dispScale);
  PrepareJobSettings(state, JobOperation::Extract);
  std::string out;
  EXPECT_EQ(AppendCatalogObject(out, state.Job, dispScale, firstPage, nullptr), 0);
  return out;
}

TEST(CatalogObjectTest, NoOpenActionGivesThePlainCatalog) {
  EXPECT_EQ(CatalogFor("N"), kPlainCatalog);
  EXPECT_EQ(CatalogFor(""), kPlainCatalog);
  // "O" before any lookup, and after a lookup that found nothing.
  EXPECT_EQ(CatalogFor("O"), kPlainCatalog);
  JobSettings job;
  job.InheritedOpenAction = kOpenActionNoneFound;
  job.FitWindow = 1;
  std::string out;
  EXPECT_EQ(AppendCatalogObject(out, job, "O", 5, nullptr), 0);
  EXPECT_EQ(out, kPlainCatalog);
  EXPECT_FALSE(CatalogHasFitWindowDictionary(job, "O"));
}

TEST(CatalogObjectTest, FitFormsCloseTheArrayWithoutViewerPreferences) {
  EXPECT_EQ(CatalogFor("A"), std::string(kOpenActionHead) + "/Fit ]\n>>\nendobj\n");
  EXPECT_EQ(CatalogFor("W"), std::string(kOpenActionHead) + "/FitH null ]\n>>\nendobj\n");
  EXPECT_EQ(CatalogFor("H"), std::string(kOpenActionHead) + "/FitV null ]\n>>\nendobj\n");
  EXPECT_EQ(CatalogFor("A", 13),
            "1 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n/OpenAction [ 13 0 R /Fit ]\n>>\nendobj\n");

  // FitWindow is never written for the fit forms, even when set.
  JobSettings job;
  job.FitWindow = 1;
  std::string out;
  AppendCatalogObject(out, job, "W", 5, nullptr);
  EXPECT_EQ(out, std::string(kOpenActionHead) + "/FitH null ]\n>>\nendobj\n");
  EXPECT_FALSE(CatalogHasFitWindowDictionary(job, "W"));
}

TEST(CatalogObjectTest, PercentageIsWrittenAsXyzZoomWithSixDecimals) {
  EXPECT_EQ(CatalogFor("150"), std::string(kOpenActionHead) + "/XYZ null null 1.500000 ]\n>>\nendobj\n");
  EXPECT_EQ(CatalogFor("7"), std::string(kOpenActionHead) + "/XYZ null null 0.070000 ]\n>>\nendobj\n");
  EXPECT_EQ(CatalogFor("33"), std::string(kOpenActionHead) + "/XYZ null null 0.330000 ]\n>>\nendobj\n");
  EXPECT_EQ(CatalogFor("1600"), std::string(kOpenActionHead) + "/XYZ null null 16.000000 ]\n>>\nendobj\n");
}

TEST(CatalogObjectTest, PercentageWithFitSuffixAddsFitWindowDictionary) {
  const std::string expected =
      std::string(kOpenActionHead) +
      "/XYZ null null 1.500000 ]\n/ViewerPreferences << /FitWindow true >>\n>>\nendobj\n";
  EXPECT_EQ(CatalogFor("150F"), expected);
  EXPECT_EQ(CatalogFor("150f"), expected);
}

TEST(CatalogObjectTest, DispScaleStartingWithAnotherLetterIsZeroPercent) {
  EXPECT_EQ(CatalogFor("X"), std::string(kOpenActionHead) + "/XYZ null null 0.000000 ]\n>>\nendobj\n");
  // Only a digit-led text can ask to fit the window.
  EXPECT_EQ(CatalogFor("XF"), std::string(kOpenActionHead) + "/XYZ null null 0.000000 ]\n>>\nendobj\n");
}

TEST(CatalogObjectTest, InheritedDestinationIsCopiedUpToItsClosingBracket) {
  const std::string input = "1 0 obj << /OpenAction [ 4 0 R /XYZ 0 792 null ] >> endobj";
  const FileImage image = testing::ImageOf(input);
  JobSettings job;
  job.InheritedOpenAction = static_cast<long>(input.find("/XYZ"));

  std::string out;
  ASSERT_EQ(AppendCatalogObject(out, job, "O", 5, &image), 0);
  EXPECT_EQ(out, std::string(kOpenActionHead) + "/XYZ 0 792 null ]\n>>\nendobj\n");

  job.FitWindow = 1;
  out.clear();
  ASSERT_EQ(AppendCatalogObject(out, job, "O", 5, &image), 0);
  EXPECT_EQ(out, std::string(kOpenActionHead) +
                     "/XYZ 0 792 null ]\n/ViewerPreferences << /FitWindow true >>\n>>\nendobj\n");
  EXPECT_TRUE(CatalogHasFitWindowDictionary(job, "O"));
}

TEST(CatalogObjectTest, InheritedDestinationSkipsBracketsInComments) {
  const std::string input = "[ 4 0 R /FitH % old ] view\r\n 700 ]";
  const FileImage image = testing::ImageOf(input);
  JobSettings job;
  job.InheritedOpenAction = static_cast<long>(input.find("/FitH"));
  std::string out;
  ASSERT_EQ(AppendCatalogObject(out, job, "O", 2, &image), 0);
  // The closing bracket is the image's last byte; the comment is copied with the rest.
  EXPECT_EQ(out, "1 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n/OpenAction [ 2 0 R /FitH % old ] view\r\n 700 ]"
                 "\n>>\nendobj\n");
}

TEST(CatalogObjectTest, UnterminatedInheritedDestinationFailsWithoutWriting) {
  const std::string input = "[ 4 0 R /XYZ 0 0 % ] hidden";
  const FileImage image = testing::ImageOf(input);
  JobSettings job;
  job.InheritedOpenAction = static_cast<long>(input.find("/XYZ"));
  std::string out = "kept";
  EXPECT_EQ(AppendCatalogObject(out, job, "O", 5, &image), kInheritedDestinationUnterminated);
  EXPECT_EQ(out, "kept");

  job.InheritedOpenAction = static_cast<long>(input.size());
  EXPECT_EQ(AppendCatalogObject(out, job, "O", 5, &image), -312);
  EXPECT_EQ(AppendCatalogObject(out, job, "O", 5, nullptr), -312);
  EXPECT_EQ(out, "kept");
}

TEST(CatalogEntryTest, EntryReplacesTheLastTenBytes) {
  JobSettings job;
  job.JobPageLayout = 1;
  std::string buffer = "body bytes before the moved catalog\n";
  AppendCatalogObject(buffer, job, "N", 4, nullptr);
  ASSERT_TRUE(AppendViewerEntries(buffer, job, "N", false));
  EXPECT_EQ(buffer, "body bytes before the moved catalog\n"
                    "1 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n/PageLayout /OneColumn\n>>\nendobj\n");

  ASSERT_TRUE(AppendCatalogEntry(buffer, "/Outlines 9 0 R"));
  EXPECT_TRUE(buffer.ends_with("/Pages 3 0 R\n/PageLayout /OneColumn\n/Outlines 9 0 R\n>>\nendobj\n"));
}

TEST(CatalogEntryTest, BufferWithoutCatalogClosingIsLeftAlone) {
  std::string buffer = "1 0 obj\n<<\n>>\nendobj";
  EXPECT_FALSE(AppendCatalogEntry(buffer, "/PageMode /UseThumbs"));
  EXPECT_EQ(buffer, "1 0 obj\n<<\n>>\nendobj");

  JobSettings job;
  job.JobPageMode = 3;
  EXPECT_FALSE(AppendViewerEntries(buffer, job, "N", false));
  EXPECT_EQ(buffer, "1 0 obj\n<<\n>>\nendobj");
  // Nothing to append needs no catalog.
  job.JobPageMode = 0;
  EXPECT_TRUE(AppendViewerEntries(buffer, job, "N", false));
}

TEST(CatalogEntryTest, RightToLeftWithoutFitWindowIsAnEntryOfItsOwn) {
  JobSettings job;
  job.JobDirection = 1;
  std::string buffer;
  AppendCatalogObject(buffer, job, "A", 4, nullptr);
  ASSERT_TRUE(AppendViewerEntries(buffer, job, "A", false));
  EXPECT_EQ(buffer, "1 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n/OpenAction [ 4 0 R /Fit ]\n"
                    "/ViewerPreferences << /Direction /R2L >>\n>>\nendobj\n");
}

TEST(CatalogEntryTest, RightToLeftExtendsTheFitWindowDictionary) {
  EngineState state;
  state.Settings.DispScale = "150F";
  state.Settings.Direction = 1;
  state.Settings.PageLayout = 2;
  PrepareJobSettings(state, JobOperation::Merge);
  std::string buffer;
  AppendCatalogObject(buffer, state.Job, "150F", 4, nullptr);
  ASSERT_TRUE(CatalogHasFitWindowDictionary(state.Job, "150F"));
  ASSERT_TRUE(AppendViewerEntries(buffer, state.Job, "150F", false));
  EXPECT_EQ(buffer, "1 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n/OpenAction [ 4 0 R /XYZ null null 1.500000 ]\n"
                    "/ViewerPreferences << /FitWindow true \n/Direction /R2L >>\n"
                    "/PageLayout /TwoColumnLeft\n>>\nendobj\n");
}

TEST(CatalogEntryTest, InheritWithFitWindowButNoOpenActionWritesSeparateDirection) {
  JobSettings job;
  job.InheritedOpenAction = kOpenActionNoneFound;
  job.FitWindow = 1;
  job.JobDirection = 1;
  std::string buffer;
  AppendCatalogObject(buffer, job, "O", 4, nullptr);
  ASSERT_TRUE(AppendViewerEntries(buffer, job, "O", false));
  EXPECT_EQ(buffer, "1 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n/ViewerPreferences << /Direction /R2L >>\n"
                    ">>\nendobj\n");
}

TEST(CatalogEntryTest, PageModesTwoAndSixFollowTheOutlineCondition) {
  EXPECT_EQ(PageModeEntry(2, true), "/PageMode /UseOutlines");
  EXPECT_EQ(PageModeEntry(2, false), "/PageMode /UseThumbs");
  EXPECT_EQ(PageModeEntry(6, true), "/PageMode /UseOutlines");
  EXPECT_EQ(PageModeEntry(6, false), "/PageMode /UseNone");

  JobSettings job;
  job.JobPageMode = 6;
  std::string buffer(kPlainCatalog);
  ASSERT_TRUE(AppendViewerEntries(buffer, job, "N", false));
  EXPECT_TRUE(buffer.ends_with("/Pages 3 0 R\n/PageMode /UseNone\n>>\nendobj\n"));
}

TEST(CatalogEntryTest, CodesWithoutEntries) {
  for (int mode : {0, 5, 7, -1}) EXPECT_TRUE(PageModeEntry(mode, true).empty()) << mode;
  for (int layout : {0, 4, 6, -1}) EXPECT_TRUE(PageLayoutEntry(layout).empty()) << layout;
  EXPECT_EQ(PageLayoutEntry(3), "/PageLayout /TwoColumnRight");
  EXPECT_EQ(PageLayoutEntry(5), "/PageLayout /SinglePage");

  JobSettings job;
  job.JobDirection = 2;  // an inherit code that the analysis never resolved writes nothing
  job.JobPageLayout = 4;
  job.JobPageMode = 5;
  std::string buffer(kPlainCatalog);
  ASSERT_TRUE(AppendViewerEntries(buffer, job, "N", true));
  EXPECT_EQ(buffer, kPlainCatalog);
}

TEST(CatalogEntryTest, InheritedFullScreenKeepsTheChosenLayout) {
  JobSettings job;
  job.JobPageLayout = 5;
  job.JobPageMode = 4;
  job.JobDirection = 1;
  std::string buffer(kPlainCatalog);
  ASSERT_TRUE(AppendViewerEntries(buffer, job, "N", false));
  EXPECT_EQ(buffer, "1 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n/ViewerPreferences << /Direction /R2L >>\n"
                    "/PageLayout /SinglePage\n/PageMode /FullScreen\n>>\nendobj\n");
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
  EXPECT_EQ(state.Job.JobPageMode, 3);
  EXPECT_EQ(state.Job.JobOutlineKeep, 1);
  EXPECT_EQ(state.Job.KeepOutlines, 1);
  EXPECT_EQ(state.Job.OutlinesToTop, 0);
  EXPECT_EQ(state.Job.JobPageLayout, 4);
  EXPECT_EQ(state.Job.JobDirection, 2);

  PrepareJobSettings(state, JobOperation::Merge);
  EXPECT_EQ(state.Job.JobPageMode, 6);
  EXPECT_EQ(state.Job.JobOutlineKeep, 2);
  EXPECT_EQ(state.Job.KeepOutlines, 1);
  EXPECT_EQ(state.Job.OutlinesToTop, 1);

  state.Settings.OutlineKeepM = 0;
  PrepareJobSettings(state, JobOperation::Merge);
  EXPECT_EQ(state.Job.KeepOutlines, 0);
  EXPECT_EQ(state.Job.OutlinesToTop, 0);
  state.Settings.OutlineKeepM = -1;  // a keeping list left without a selection
  PrepareJobSettings(state, JobOperation::Merge);
  EXPECT_EQ(state.Job.KeepOutlines, 0);
}

TEST(PrepareJobSettingsTest, FitWindowAndOpenActionMark) {
  EngineState state;
  state.Job.InheritedOpenAction = 1234;  // left from an earlier job
  state.Job.FitWindow = 1;

  state.Settings.DispScale = "O";
  PrepareJobSettings(state, JobOperation::Extract);
  EXPECT_EQ(state.Job.FitWindow, 0);
  EXPECT_EQ(state.Job.InheritedOpenAction, kOpenActionNotLookedUp);

  for (const char* scale : {"150F", "80f"}) {
    state.Settings.DispScale = scale;
    PrepareJobSettings(state, JobOperation::Extract);
    EXPECT_EQ(state.Job.FitWindow, 1) << scale;
  }
  for (const char* scale : {"150", "N", "A", "XF", "F", ""}) {
    state.Settings.DispScale = scale;
    PrepareJobSettings(state, JobOperation::Merge);
    EXPECT_EQ(state.Job.FitWindow, 0) << scale;
  }
}

TEST(DispScaleTest, FormsAndPercentages) {
  EXPECT_EQ(ClassifyDispScale("NX"), OpenView::None);
  EXPECT_EQ(ClassifyDispScale("O"), OpenView::Inherit);
  EXPECT_EQ(ClassifyDispScale("a"), OpenView::Percentage);
  EXPECT_EQ(DispScalePercentage("150F"), 150);
  EXPECT_EQ(DispScalePercentage("X150"), 0);
  EXPECT_EQ(DispScalePercentage("999999999999999"), INT32_MAX);
  EXPECT_EQ(CatalogFor("999999999999999"),
            std::string(kOpenActionHead) + "/XYZ null null 21474836.470000 ]\n>>\nendobj\n");
}

}  // namespace
}  // namespace folvex
