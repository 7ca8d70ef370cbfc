#include "tests/support/large_pdf.h"

#include <algorithm>

#include "tests/support/pdf_writer.h"

namespace folvex::testing {

namespace {

std::string Ref(int number) { return std::to_string(number) + " 0 R"; }

}  // namespace

std::string LargePdf(const LargePdfShape& shape) {
  // Object numbers: 1 catalog, 2 root /Pages, 3 font, then the branch nodes of ten leaves each,
  // the leaf nodes of a hundred pages each, the pages with their content streams, and the outline.
  const int pages = shape.Pages, items = shape.OutlineItems;
  const int leaves = (pages + 99) / 100, branches = (leaves + 9) / 10;
  const int firstLeaf = 4 + branches, firstPage = firstLeaf + leaves, outlines = firstPage + 2 * pages;
  const auto page = [&](int index) { return firstPage + 2 * index; };
  const auto item = [&](int index) { return outlines + 1 + index; };
  const int firstLink = items > 0 ? item(items) : outlines, links = shape.LinksPerPage;
  PdfWriter w;
  w.Reserve(static_cast<std::size_t>(pages) * (shape.Filler + 400) + static_cast<std::size_t>(items) * 200 + 4096);
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R" +
                  (items > 0 ? " /Outlines " + Ref(outlines) + " /PageMode /UseOutlines" : std::string()) + " >>");
  std::string kids;
  for (int b = 0; b < branches; ++b) kids += Ref(4 + b) + " ";
  w.Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) +
                  " /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> >>");
  w.Object(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
  for (int b = 0; b < branches; ++b) {
    const int last = std::min(10 * b + 10, leaves);
    kids.clear();
    for (int l = 10 * b; l < last; ++l) kids += Ref(firstLeaf + l) + " ";
    w.Object(4 + b, "<< /Type /Pages /Parent 2 0 R /Kids [" + kids + "] /Count " +
                        std::to_string(std::min(100 * last, pages) - 1000 * b) + " >>");
  }
  for (int l = 0; l < leaves; ++l) {
    const int last = std::min(100 * l + 100, pages);
    kids.clear();
    for (int p = 100 * l; p < last; ++p) kids += Ref(page(p)) + " ";
    w.Object(firstLeaf + l, "<< /Type /Pages /Parent " + Ref(4 + l / 10) + " /Kids [" + kids + "] /Count " +
                                std::to_string(last - 100 * l) + " >>");
  }
  const std::string filler(shape.Filler, 'x');
  for (int p = 0; p < pages; ++p) {
    std::string annots;
    for (int k = 0; k < links; ++k) {
      const int link = firstLink + p * links + k;
      annots += Ref(link) + " ";
      const long long target = (p * 7919LL + k * 104729LL) % pages;
      w.Object(link, "<< /Type /Annot /Subtype /Link /Rect [72 " + std::to_string(600 - 30 * k) + " 300 " +
                         std::to_string(620 - 30 * k) + "] /Border [0 0 1] /Dest [" +
                         Ref(page(static_cast<int>(target))) + " /Fit] >>");
    }
    w.Object(page(p), "<< /Type /Page /Parent " + Ref(firstLeaf + p / 100) + " /Contents " + Ref(page(p) + 1) +
                          (annots.empty() ? "" : " /Annots [" + annots + "]") + " >>");
    const std::string text = "BT /F1 24 Tf 72 700 Td (Page " + std::to_string(p + 1) + ") Tj ET";
    w.Stream(page(p) + 1, "", filler.empty() ? text : text + "\n% " + filler);
  }
  if (items > 0) {
    w.Object(outlines, "<< /Type /Outlines /First " + Ref(item(0)) + " /Last " + Ref(item((items - 1) / 10 * 10)) +
                           " /Count " + std::to_string(items) + " >>");
  }
  // Sections of ten: the first item of each section is top-level, the other nine are its children.
  for (int i = 0; i < items; ++i) {
    const bool top = i % 10 == 0;
    const int section = i - i % 10, sectionEnd = std::min(section + 10, items);
    std::string body = "<< /Title (" + std::string(top ? "Section " : "Item ") + std::to_string(i + 1) + ")";
    body += " /Parent " + (top ? Ref(outlines) : Ref(item(section)));
    if (top ? section >= 10 : i - 1 > section) body += " /Prev " + Ref(item(top ? section - 10 : i - 1));
    if (top ? section + 10 < items : i + 1 < sectionEnd) body += " /Next " + Ref(item(top ? section + 10 : i + 1));
    if (top && sectionEnd - section > 1) {
      body += " /First " + Ref(item(section + 1)) + " /Last " + Ref(item(sectionEnd - 1)) + " /Count " +
              std::to_string(sectionEnd - section - 1);
    }
    const int target = static_cast<int>((static_cast<long long>(i) * pages) / items);
    w.Object(item(i), body + " /Dest [" + Ref(page(target)) + " /XYZ 0 792 0] >>");
  }
  w.Finish("/Size " + std::to_string(firstLink + pages * links) + " /Root 1 0 R");
  return w.Bytes();
}

}  // namespace folvex::testing
