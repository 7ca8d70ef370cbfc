// The skeleton of a written document: its catalog with the viewer entries, and its page tree.
#include "engine/assembly/output_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/assembly/page_tree_layout.h"
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
// of the first input would set them. An inherited view is copied from Image, from the first From
// on (its end without From).
struct CatalogCase {
  const char* Scale;
  std::string Expected;
  int Page = 5;
  int FitWindow = -1;
  long Inherited = kOpenActionNotLookedUp;
  int Direction = 0, Layout = 0, Mode = 0;
  bool Outlines = false;
  std::string Image = "";
  const char* From = nullptr;
  int Code = 0;
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
      // (Right to left extending the fit-window dictionary is judged by the split command's test.)
      // An inherited view that found no open action writes neither it nor the fit-window dictionary.
      {.Scale = "O", .Expected = Catalog(kRightToLeft), .FitWindow = 1, .Inherited = kOpenActionNoneFound, .Direction = 1},
      {.Scale = "N", .Expected = Catalog(kRightToLeft + "/PageLayout /SinglePage\n/PageMode /FullScreen\n"),
       .Direction = 1, .Layout = 5, .Mode = 4},
      {.Scale = "N", .Expected = Catalog("/PageLayout /TwoColumnRight\n/PageMode /UseThumbs\n"), .Layout = 3, .Mode = 2},
      {.Scale = "N", .Expected = Catalog("/PageMode /UseOutlines\n"), .Mode = 2, .Outlines = true},
      {.Scale = "N", .Expected = Catalog("/PageMode /UseNone\n"), .Mode = 6},
      // Inherit codes that the analysis never resolved write nothing.
      {.Scale = "N", .Expected = kPlainCatalog, .Direction = 2, .Layout = 4, .Mode = 5, .Outlines = true},
      {.Scale = "O", .Expected = Catalog("/OpenAction [ 5 0 R /XYZ 0 792 null ]\n" + kFitWindow), .FitWindow = 1,
       .Image = "1 0 obj << /OpenAction [ 4 0 R /XYZ 0 792 null ] >> endobj", .From = "/XYZ"},
      // Brackets in comments do not count; the closing bracket may be the image's last byte.
      {.Scale = "O", .Expected = Catalog("/OpenAction [ 5 0 R /FitH % old ] view\r\n 700 ]\n"), .FitWindow = 0,
       .Image = "[ 4 0 R /FitH % old ] view\r\n 700 ]", .From = "/FitH"},
      {.Scale = "O", .Expected = "", .FitWindow = 0, .Image = "[ 4 0 R /XYZ 0 0 % ] hidden", .From = "/XYZ",
       .Code = kInheritedDestinationUnterminated},
      {.Scale = "O", .Expected = "", .FitWindow = 0, .Image = "[ 4 0 R /XYZ 0 0 % ] hidden",
       .Code = kInheritedDestinationUnterminated},
  };
  for (const CatalogCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "DispScale " << c.Scale << " mode " << c.Mode << " from " << (c.From ? c.From : "-"));
    EngineState state;
    state.Settings.DispScale = c.Scale;
    state.Settings.Direction = c.Direction;
    state.Settings.PageLayout = c.Layout;
    state.Settings.PageModeE = c.Mode;
    PrepareJobSettings(state, JobOperation::Extract);
    if (c.FitWindow >= 0) state.Job.FitWindow = c.FitWindow;
    if (c.Inherited != kOpenActionNotLookedUp) state.Job.InheritedOpenAction = c.Inherited;
    const FileImage image = testing::ImageOf(c.Image);
    if (!c.Image.empty()) state.Job.InheritedOpenAction = static_cast<long>(c.From ? c.Image.find(c.From) : c.Image.size());
    std::string out;
    ASSERT_EQ(AppendCatalogObject(out, state.Job, c.Scale, c.Page, c.Image.empty() ? nullptr : &image), c.Code);
    if (c.Code == 0) {
      ASSERT_TRUE(AppendViewerEntries(out, state.Job, c.Scale, c.Outlines));
    }
    EXPECT_EQ(out, c.Expected);
    EXPECT_EQ(CatalogHasFitWindowDictionary(state.Job, c.Scale), c.Expected.find("/FitWindow") != std::string::npos);
  }
}

// Checks every structural promise of the tree for each page count up to 3000.
TEST(PageTreeLayoutTest, EveryCountGivesAConsistentBalancedTree) {
  for (int pages = 1; pages <= 3000; ++pages) {
    SCOPED_TRACE(pages);
    PageTreeLayout layout;
    ASSERT_EQ(LayOutPageTree(pages, layout), 0);
    ASSERT_EQ(layout.PageNumbers[0], FirstPageNumber(pages));
    const int last = layout.LastNumber;
    ASSERT_EQ(static_cast<int>(layout.Nodes.size()), last + 1);

    // Pages are numbered in output order, each in its parent's kid list, at most four levels down.
    std::vector<int> uses(last + 1, 0), counted(last + 1, 0);
    for (int i = 0; i < pages; ++i) {
      ++uses[layout.PageNumbers[i]];
      ASSERT_LT(i > 0 ? layout.PageNumbers[i - 1] : 0, layout.PageNumbers[i]);
      const std::vector<int>& kids = layout.Nodes[layout.ParentNumbers[i]].Kids;
      ASSERT_NE(std::find(kids.begin(), kids.end(), layout.PageNumbers[i]), kids.end());
      int depth = 0;
      for (int n = layout.ParentNumbers[i]; n != 0; n = layout.Nodes[n].Parent, ++depth) ++counted[n];
      ASSERT_LE(depth, 4);
    }
    // Every number from 3 to the last is either a /Pages node or a page, exactly once; kid lists
    // agree with parents and stay within ten, and counts add up from the pages.
    for (int number = kPageTreeRootNumber; number <= last; ++number) {
      const PageTreeNode& node = layout.Nodes[number];
      ASSERT_EQ(uses[number] + (!node.Kids.empty() || number == kPageTreeRootNumber ? 1 : 0), 1) << number;
      ASSERT_LE(node.Kids.size(), 10u);
      ASSERT_EQ(node.PageCount, counted[number]) << number;
      for (int kid : node.Kids) {
        if (!layout.Nodes[kid].Kids.empty()) {
          ASSERT_EQ(layout.Nodes[kid].Parent, number);
        }
      }
    }
  }
  PageTreeLayout layout;
  EXPECT_EQ(LayOutPageTree(0, layout), kPageTreePageOutsideTable);
}

}  // namespace
}  // namespace folvex
