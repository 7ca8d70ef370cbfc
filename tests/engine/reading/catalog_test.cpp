#include "engine/reading/catalog.h"

#include <gtest/gtest.h>

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
  auto good = OpenBytes(WithCatalog("<< /Type /Catalog /Pages 2 0 R >>"));
  EXPECT_EQ(Analyze(*good), 1);
  auto catalogue = OpenBytes(WithCatalog("<< /Type /Catalogue /Pages 2 0 R >>"));
  EXPECT_EQ(Analyze(*catalogue), -1);
  EXPECT_EQ(catalogue->State.LastErrorCode, -118);
  auto untyped = OpenBytes(WithCatalog("<< /Pages 2 0 R >>"));
  EXPECT_EQ(Analyze(*untyped), -1);
  EXPECT_EQ(untyped->State.LastErrorCode, -115);
  auto other = OpenBytes(WithCatalog("<< /Type /Pages /Pages 2 0 R >>"));
  EXPECT_EQ(Analyze(*other), -1);
  EXPECT_EQ(other->State.LastErrorCode, -117);
  auto noPages = OpenBytes(WithCatalog("<< /Type /Catalog >>"));
  EXPECT_EQ(Analyze(*noPages), -1);
  EXPECT_EQ(noPages->State.LastErrorCode, -119);
  auto array = OpenBytes(WithCatalog("[ /Type /Catalog ]"));
  EXPECT_EQ(Analyze(*array), -1);
  EXPECT_EQ(array->State.LastErrorCode, -113);

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

TEST(AnalyzeCatalog, InheritedLayoutModeAndDirection) {
  auto doc = OpenBytes(WithCatalog(
      "<< /Type /Catalog /Pages 2 0 R /PageLayout /TwoColumnRight /PageMode /FullScreen "
      "/ViewerPreferences 4 0 R >>",
      "<< /Direction /R2L /FitWindow true >>"));
  doc->State.Job.JobPageLayout = 4;
  doc->State.Job.JobPageMode = 5;
  doc->State.Job.JobDirection = 2;
  ASSERT_EQ(Analyze(*doc), 1);
  EXPECT_EQ(doc->State.Job.JobPageLayout, 3);
  EXPECT_EQ(doc->State.Job.JobPageMode, 4);
  EXPECT_EQ(doc->State.Job.JobDirection, 1);
  // /FitWindow is adopted only when the open view is inherited.
  EXPECT_EQ(doc->State.Job.FitWindow, 0);

  auto none = OpenBytes(WithCatalog("<< /Type /Catalog /Pages 2 0 R /PageMode /UseNone >>"));
  none->State.Job.JobPageLayout = 4;
  none->State.Job.JobPageMode = 5;
  none->State.Job.JobDirection = 2;
  ASSERT_EQ(Analyze(*none), 1);
  EXPECT_EQ(none->State.Job.JobPageLayout, 0);
  EXPECT_EQ(none->State.Job.JobPageMode, 0);
  EXPECT_EQ(none->State.Job.JobDirection, 0);

  // Codes other than "inherit" are left alone.
  auto kept = OpenBytes(WithCatalog("<< /Type /Catalog /Pages 2 0 R /PageMode /UseOutlines >>"));
  kept->State.Job.JobPageMode = 3;
  ASSERT_EQ(Analyze(*kept), 1);
  EXPECT_EQ(kept->State.Job.JobPageMode, 3);

  auto outlines = OpenBytes(WithCatalog("<< /Type /Catalog /Pages 2 0 R /PageMode /UseOutlines >>"));
  outlines->State.Job.JobPageMode = 5;
  ASSERT_EQ(Analyze(*outlines), 1);
  EXPECT_EQ(outlines->State.Job.JobPageMode, 1);
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
