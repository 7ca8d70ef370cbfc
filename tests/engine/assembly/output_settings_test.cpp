#include "engine/assembly/output_settings.h"

#include <gtest/gtest.h>

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
const std::string kRightToLeft = "/ViewerPreferences << /Direction /R2L >>\n";

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

TEST(CatalogObject, EachDispScaleFormAndViewerEntry) {
  const std::vector<CatalogCase> cases = {
      {.Scale = "N", .Expected = kPlainCatalog},
      {.Scale = "O", .Expected = kPlainCatalog},  // before any lookup
      {.Scale = "A", .Expected = Catalog("/OpenAction [ 13 0 R /Fit ]\n"), .Page = 13},
      // FitWindow is never written for the fit forms, even when set.
      {.Scale = "W", .Expected = Catalog("/OpenAction [ 5 0 R /FitH null ]\n"), .FitWindow = 1},
      {.Scale = "H", .Expected = Catalog("/OpenAction [ 5 0 R /FitV null ]\n")},
      {.Scale = "7", .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 0.070000 ]\n")},
      {.Scale = "999999999999999", .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 21474836.470000 ]\n")},
      {.Scale = "150f", .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 1.500000 ]\n" + kFitWindow)},
      // Another first letter is zero percent; only a digit-led text can ask to fit the window.
      {.Scale = "XF", .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 0.000000 ]\n")},
      // Right to left extends the fit-window dictionary instead of writing a second one.
      {.Scale = "150F",
       .Expected = Catalog("/OpenAction [ 5 0 R /XYZ null null 1.500000 ]\n/ViewerPreferences << /FitWindow true "
                           "\n/Direction /R2L >>\n/PageLayout /TwoColumnLeft\n"),
       .Direction = 1, .Layout = 2},
      // An inherited view that found no open action writes neither it nor the fit-window dictionary.
      {.Scale = "O", .Expected = Catalog(kRightToLeft), .FitWindow = 1, .Inherited = kOpenActionNoneFound, .Direction = 1},
      {.Scale = "N", .Expected = Catalog(kRightToLeft + "/PageLayout /SinglePage\n/PageMode /FullScreen\n"),
       .Direction = 1, .Layout = 5, .Mode = 4},
      {.Scale = "N", .Expected = Catalog("/PageLayout /TwoColumnRight\n/PageMode /UseThumbs\n"), .Layout = 3, .Mode = 2},
      {.Scale = "N", .Expected = Catalog("/PageMode /UseOutlines\n"), .Mode = 2, .Outlines = true},
      {.Scale = "N", .Expected = Catalog("/PageMode /UseNone\n"), .Mode = 6},
      // Inherit codes that the analysis never resolved write nothing.
      {.Scale = "N", .Expected = kPlainCatalog, .Direction = 2, .Layout = 4, .Mode = 5, .Outlines = true},
  };
  for (const CatalogCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "DispScale " << c.Scale << " mode " << c.Mode);
    EngineState state;
    state.Settings.DispScale = c.Scale;
    state.Settings.Direction = c.Direction;
    state.Settings.PageLayout = c.Layout;
    state.Settings.PageModeE = c.Mode;
    PrepareJobSettings(state, JobOperation::Extract);
    if (c.FitWindow >= 0) state.Job.FitWindow = c.FitWindow;
    if (c.Inherited != kOpenActionNotLookedUp) state.Job.InheritedOpenAction = c.Inherited;
    std::string out;
    ASSERT_EQ(AppendCatalogObject(out, state.Job, c.Scale, c.Page, nullptr), 0);
    ASSERT_TRUE(AppendViewerEntries(out, state.Job, c.Scale, c.Outlines));
    EXPECT_EQ(out, c.Expected);
    EXPECT_EQ(CatalogHasFitWindowDictionary(state.Job, c.Scale), c.Expected.find("/FitWindow") != std::string::npos);
  }
}

TEST(CatalogObject, InheritedDestinationIsCopiedUpToItsClosingBracket) {
  JobSettings job;
  std::string out;
  auto inherit = [&](const std::string& input, std::string_view from, long offset = -1) {
    const FileImage image = testing::ImageOf(input);
    job.InheritedOpenAction = offset >= 0 ? offset : static_cast<long>(input.find(from));
    out.clear();
    return AppendCatalogObject(out, job, "O", 5, &image);
  };
  job.FitWindow = 1;
  ASSERT_EQ(inherit("1 0 obj << /OpenAction [ 4 0 R /XYZ 0 792 null ] >> endobj", "/XYZ"), 0);
  EXPECT_EQ(out, Catalog("/OpenAction [ 5 0 R /XYZ 0 792 null ]\n" + kFitWindow));
  // Brackets in comments do not count; the closing bracket may be the image's last byte.
  job.FitWindow = 0;
  ASSERT_EQ(inherit("[ 4 0 R /FitH % old ] view\r\n 700 ]", "/FitH"), 0);
  EXPECT_EQ(out, Catalog("/OpenAction [ 5 0 R /FitH % old ] view\r\n 700 ]\n"));
  const std::string unterminated = "[ 4 0 R /XYZ 0 0 % ] hidden";
  EXPECT_EQ(inherit(unterminated, "/XYZ"), kInheritedDestinationUnterminated);
  EXPECT_EQ(inherit(unterminated, "", static_cast<long>(unterminated.size())), kInheritedDestinationUnterminated);
  EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace folvex
