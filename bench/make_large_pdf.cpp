// Writes a large classic PDF for benchmarks: make_large_pdf PAGES OUTPUT
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "tests/support/pdf_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_large_pdf PAGES OUTPUT\n";
    return 1;
  }
  int pages = std::atoi(argv[1]);
  folvex::testing::PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  // A two-level tree of 100 pages per intermediate node, as producers write large files.
  int nodes = (pages + 99) / 100;
  std::string kids;
  for (int n = 0; n < nodes; ++n) kids += std::to_string(4 + n) + " 0 R ";
  w.Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) +
                  " /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> >>");
  w.Object(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  int first = 4 + nodes;
  std::string filler(800, 'x');
  for (int n = 0; n < nodes; ++n) {
    std::string nodeKids;
    int count = 0;
    for (int p = n * 100; p < pages && p < (n + 1) * 100; ++p, ++count) nodeKids += std::to_string(first + 2 * p) + " 0 R ";
    w.Object(4 + n, "<< /Type /Pages /Parent 2 0 R /Kids [" + nodeKids + "] /Count " + std::to_string(count) + " >>");
  }
  for (int p = 0; p < pages; ++p) {
    w.Object(first + 2 * p, "<< /Type /Page /Parent " + std::to_string(4 + p / 100) + " 0 R /Contents " +
                                std::to_string(first + 2 * p + 1) + " 0 R >>");
    w.Stream(first + 2 * p + 1, "", "BT /F1 24 Tf 72 700 Td (Page " + std::to_string(p + 1) + ") Tj ET % " + filler);
  }
  w.Finish("/Size " + std::to_string(first + 2 * pages) + " /Root 1 0 R");
  std::ofstream(argv[2], std::ios::binary) << w.Bytes();
  return 0;
}
