// Writes the demo files of samples/ with the test writer: ./build/make_samples samples
#include <fstream>
#include <iostream>
#include <string>

#include "tests/support/pdf_writer.h"

namespace {

using folvex::testing::PdfWriter;

void Store(const std::string& folder, const std::string& name, const std::string& bytes) {
  std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
}

std::string IncrementalUpdate() {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >>");
  w.Object(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
  w.Stream(4, "", "0 0 1 rg 100 100 400 600 re f");
  w.Finish("/Size 5 /Root 1 0 R");
  // The update adds two pages and replaces the page tree root.
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 5 0 R 6 0 R] /Count 3 /MediaBox [0 0 612 792] >>");
  w.Object(5, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Rotate 90 >>");
  w.Object(6, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /MediaBox [0 0 300 300] >>");
  w.Finish("/Size 7 /Root 1 0 R");
  return w.Bytes();
}

std::string NestedTree() {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R /PageLayout /TwoColumnLeft >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 4 /Resources << /Font << /F1 9 0 R >> >> >>");
  w.Object(3, "<< /Type /Pages /Parent 2 0 R /Kids [5 0 R 6 0 R] /Count 2 /MediaBox [0 0 595 842] >>");
  w.Object(4, "<< /Type /Pages /Parent 2 0 R /Kids [7 0 R 8 0 R] /Count 2 /MediaBox [0 0 842 595] /Rotate 0 >>");
  for (int page = 5; page <= 8; ++page) {
    w.Object(page, "<< /Type /Page /Parent " + std::to_string(page < 7 ? 3 : 4) + " 0 R /Contents " +
                       std::to_string(page + 5) + " 0 R >>");
  }
  w.Object(9, "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman >>");
  for (int page = 5; page <= 8; ++page) {
    w.Stream(page + 5, "", "BT /F1 36 Tf 72 400 Td (Nested page " + std::to_string(page - 4) + ") Tj ET");
  }
  w.Finish("/Size 14 /Root 1 0 R");
  return w.Bytes();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_samples FOLDER\n";
    return 1;
  }
  std::string folder = argv[1];
  Store(folder, "three-pages.pdf", folvex::testing::SimplePdf(3));
  Store(folder, "incremental-update.pdf", IncrementalUpdate());
  Store(folder, "nested-page-tree.pdf", NestedTree());
  std::string damaged = folvex::testing::SimplePdf(5);
  Store(folder, "damaged-no-xref.pdf", damaged.substr(0, damaged.find("xref\n")));
  Store(folder, "notes.txt", "Folvex reads PDF files; this text file is not one.\n");
  return 0;
}
