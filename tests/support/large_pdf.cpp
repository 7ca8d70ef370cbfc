#include "tests/support/large_pdf.h"

#include <algorithm>
#include <vector>

#include "tests/support/pdf_writer.h"

namespace folvex::testing {

namespace {

constexpr int kPagesPerLeaf = 100;
constexpr int kLeavesPerBranch = 10;

std::string Ref(int number) { return std::to_string(number) + " 0 R"; }

// Object numbers: 1 catalog, 2 root /Pages, 3 font, then the branch nodes, the leaf nodes, the
// pages with their content streams, and the outline.
struct Numbering {
  int Leaves = 0;
  int Branches = 0;
  int FirstBranch = 4;
  int FirstLeaf = 0;
  int FirstPage = 0;
  int Outlines = 0;  // the /Outlines dictionary; items follow it
  int Size = 0;

  explicit Numbering(const LargePdfShape& shape) {
    Leaves = (shape.Pages + kPagesPerLeaf - 1) / kPagesPerLeaf;
    Branches = (Leaves + kLeavesPerBranch - 1) / kLeavesPerBranch;
    FirstLeaf = FirstBranch + Branches;
    FirstPage = FirstLeaf + Leaves;
    Outlines = FirstPage + 2 * shape.Pages;
    Size = Outlines + (shape.OutlineItems > 0 ? 1 + shape.OutlineItems : 0);
  }
  int Page(int index) const { return FirstPage + 2 * index; }
  int Item(int index) const { return Outlines + 1 + index; }
};

int PagesUnder(int first, int last, int pages) {
  return std::min(last * kPagesPerLeaf, pages) - first * kPagesPerLeaf;
}

void WriteTree(PdfWriter& w, const LargePdfShape& shape, const Numbering& at) {
  std::string branches;
  for (int b = 0; b < at.Branches; ++b) branches += Ref(at.FirstBranch + b) + " ";
  w.Object(2, "<< /Type /Pages /Kids [" + branches + "] /Count " + std::to_string(shape.Pages) +
                  " /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> >>");
  w.Object(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
  for (int b = 0; b < at.Branches; ++b) {
    const int firstLeaf = b * kLeavesPerBranch;
    const int lastLeaf = std::min(firstLeaf + kLeavesPerBranch, at.Leaves);
    std::string kids;
    for (int l = firstLeaf; l < lastLeaf; ++l) kids += Ref(at.FirstLeaf + l) + " ";
    w.Object(at.FirstBranch + b, "<< /Type /Pages /Parent 2 0 R /Kids [" + kids + "] /Count " +
                                     std::to_string(PagesUnder(firstLeaf, lastLeaf, shape.Pages)) + " >>");
  }
  for (int l = 0; l < at.Leaves; ++l) {
    std::string kids;
    const int first = l * kPagesPerLeaf;
    const int last = std::min(first + kPagesPerLeaf, shape.Pages);
    for (int p = first; p < last; ++p) kids += Ref(at.Page(p)) + " ";
    w.Object(at.FirstLeaf + l, "<< /Type /Pages /Parent " + Ref(at.FirstBranch + l / kLeavesPerBranch) +
                                   " /Kids [" + kids + "] /Count " + std::to_string(last - first) + " >>");
  }
}

void WritePages(PdfWriter& w, const LargePdfShape& shape, const Numbering& at) {
  const std::string filler(static_cast<std::size_t>(shape.Filler), 'x');
  for (int p = 0; p < shape.Pages; ++p) {
    w.Object(at.Page(p), "<< /Type /Page /Parent " + Ref(at.FirstLeaf + p / kPagesPerLeaf) + " /Contents " +
                             Ref(at.Page(p) + 1) + " >>");
    const std::string text = "BT /F1 24 Tf 72 700 Td (Page " + std::to_string(p + 1) + ") Tj ET";
    w.Stream(at.Page(p) + 1, "", filler.empty() ? text : text + "\n% " + filler);
  }
}

// Sections of ten: the first item of each section is top-level, the other nine are its children.
void WriteOutline(PdfWriter& w, const LargePdfShape& shape, const Numbering& at) {
  const int n = shape.OutlineItems;
  std::vector<int> tops;
  for (int i = 0; i < n; i += 10) tops.push_back(i);
  w.Object(at.Outlines, "<< /Type /Outlines /First " + Ref(at.Item(tops.front())) + " /Last " +
                            Ref(at.Item(tops.back())) + " /Count " + std::to_string(n) + " >>");
  for (int i = 0; i < n; ++i) {
    const bool top = i % 10 == 0;
    const int section = i - i % 10;
    const int sectionEnd = std::min(section + 10, n);
    const int page = static_cast<int>((static_cast<long long>(i) * shape.Pages) / n);
    std::string body = "<< /Title (" + std::string(top ? "Section " : "Item ") + std::to_string(i + 1) + ")";
    body += " /Parent " + (top ? Ref(at.Outlines) : Ref(at.Item(section)));
    const int previous = top ? section - 10 : i - 1;
    const int next = top ? section + 10 : i + 1;
    if (top ? previous >= 0 : i - 1 > section) body += " /Prev " + Ref(at.Item(previous));
    if (top ? next < n : next < sectionEnd) body += " /Next " + Ref(at.Item(next));
    if (top && sectionEnd - section > 1) {
      body += " /First " + Ref(at.Item(section + 1)) + " /Last " + Ref(at.Item(sectionEnd - 1)) + " /Count " +
              std::to_string(sectionEnd - section - 1);
    }
    body += " /Dest [" + Ref(at.Page(page)) + " /XYZ 0 792 0] >>";
    w.Object(at.Item(i), body);
  }
}

}  // namespace

std::string LargePdf(const LargePdfShape& shape) {
  const Numbering at(shape);
  PdfWriter w;
  std::string catalog = "<< /Type /Catalog /Pages 2 0 R";
  if (shape.OutlineItems > 0) catalog += " /Outlines " + Ref(at.Outlines) + " /PageMode /UseOutlines";
  w.Object(1, catalog + " >>");
  WriteTree(w, shape, at);
  WritePages(w, shape, at);
  if (shape.OutlineItems > 0) WriteOutline(w, shape, at);
  w.Finish("/Size " + std::to_string(at.Size) + " /Root 1 0 R");
  return w.Bytes();
}

}  // namespace folvex::testing
