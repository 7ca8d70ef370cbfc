#include "engine/reading/catalog.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "tests/support/open_helpers.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::OpenBytes;
using testing::PdfWriter;

std::string WithCatalog(const std::string& catalog, const std::string& extraObject = "<< >>") {
  PdfWriter w;
  w.Object(1, catalog);
  w.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  w.Object(3, "<< /Type /Page >>");
  w.Object(4, extraObject);
  w.Finish("/Size 5 /Root 1 0 R");
  return w.Bytes();
}

int Analyze(testing::OpenedDocument& doc) { return AnalyzeCatalog(doc.State, doc.Slot()); }

TEST(AnalyzeCatalog, CatalogChecks) {
  const std::pair<const char*, int> cases[] = {
      {"<< /Type /Catalog /Pages 2 0 R >>", 0},   {"<< /Type /Catalogue /Pages 2 0 R >>", -118},
      {"<< /Pages 2 0 R >>", -115},               {"<< /Type /Pages /Pages 2 0 R >>", -117},
      {"<< /Type /Catalog >>", -119},             {"[ /Type /Catalog ]", -113},
  };
  for (const auto& [catalog, code] : cases) {
    auto doc = OpenBytes(WithCatalog(catalog));
    EXPECT_EQ(Analyze(*doc), code == 0 ? 1 : -1) << catalog;
    EXPECT_EQ(doc->State.LastErrorCode, code) << catalog;
  }
  // Object 0 is no object, even when "0 0 obj" stands right behind the header comments.
  PdfWriter zero;
  zero.Raw("0 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
  zero.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  zero.Object(3, "<< /Type /Page >>");
  zero.Finish("/Size 4 /Root 0 0 R");
  auto objectZero = OpenBytes(zero.Bytes());
  EXPECT_EQ(Analyze(*objectZero), -1);
  EXPECT_EQ(objectZero->State.LastErrorCode, -111);
}

// The job's "inherit" codes (layout 4, mode 5, direction 2) take the catalog's values; other codes stay.
TEST(AnalyzeCatalog, InheritedLayoutModeAndDirection) {
  struct Case {
    const char* Entries;
    std::array<int, 3> Job, Expected;  // layout, mode, direction
  };
  const Case cases[] = {
      {"/PageLayout /TwoColumnRight /PageMode /FullScreen /ViewerPreferences 4 0 R", {4, 5, 2}, {3, 4, 1}},
      {"/PageMode /UseNone", {4, 5, 2}, {0, 0, 0}},
      {"/PageMode /UseOutlines", {4, 3, 2}, {0, 3, 0}},
      {"/PageMode /UseOutlines", {4, 5, 2}, {0, 1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Entries);
    auto doc = OpenBytes(WithCatalog("<< /Type /Catalog /Pages 2 0 R " + std::string(c.Entries) + " >>",
                                     "<< /Direction /R2L /FitWindow true >>"));
    JobSettings& job = doc->State.Job;
    std::tie(job.JobPageLayout, job.JobPageMode, job.JobDirection) = std::tuple(c.Job[0], c.Job[1], c.Job[2]);
    ASSERT_EQ(Analyze(*doc), 1);
    EXPECT_EQ((std::array<int, 3>{job.JobPageLayout, job.JobPageMode, job.JobDirection}), c.Expected);
    // /FitWindow is adopted only when the open view is inherited.
    EXPECT_EQ(job.FitWindow, 0);
  }
}

long OpenActionOf(const std::string& catalog, const std::string& extra, std::string& bytes) {
  bytes = WithCatalog(catalog, extra);
  auto doc = OpenBytes(bytes);
  doc->State.Settings.DispScale = "O";
  EXPECT_EQ(Analyze(*doc), 1) << doc->State.LastErrorCode;
  return doc->State.Job.InheritedOpenAction;
}

TEST(AnalyzeCatalog, InheritedOpenAction) {
  std::string bytes;
  long view = OpenActionOf("<< /Type /Catalog /Pages 2 0 R /OpenAction [3 0 R /XYZ 0 792 1.5] >>", "<< >>", bytes);
  ASSERT_GE(view, 0);
  EXPECT_EQ(bytes.substr(static_cast<std::size_t>(view), 15), "/XYZ 0 792 1.5]");

  view = OpenActionOf("<< /Type /Catalog /Pages 2 0 R /OpenAction 4 0 R >>",
                      "<< /S /GoTo /D [ 3 0 R   /FitH 700 ] >>", bytes);
  ASSERT_GE(view, 0);
  EXPECT_EQ(bytes.substr(static_cast<std::size_t>(view), 10), "/FitH 700 ");

  view = OpenActionOf("<< /Type /Catalog /Pages 2 0 R /OpenAction [(Chapter1) /Fit] >>", "<< >>", bytes);
  ASSERT_GE(view, 0);
  EXPECT_EQ(bytes.substr(static_cast<std::size_t>(view), 4), "/Fit");

  EXPECT_EQ(OpenActionOf("<< /Type /Catalog /Pages 2 0 R >>", "<< >>", bytes), kOpenActionNoneFound);
  EXPECT_EQ(OpenActionOf("<< /Type /Catalog /Pages 2 0 R /OpenAction 4 0 R >>", "<< /S /JavaScript /JS (x) >>", bytes),
            kOpenActionNoneFound);

  // With "O", /FitWindow true is adopted even when there is no open action.
  auto doc = OpenBytes(WithCatalog("<< /Type /Catalog /Pages 2 0 R /ViewerPreferences << /FitWindow true >> >>"));
  doc->State.Settings.DispScale = "O";
  ASSERT_EQ(Analyze(*doc), 1);
  EXPECT_EQ(doc->State.Job.FitWindow, 1);
  EXPECT_EQ(doc->State.Job.InheritedOpenAction, kOpenActionNoneFound);
}

}  // namespace
}  // namespace folvex
