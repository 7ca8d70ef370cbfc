// Writes a large classic PDF for the benchmark:
// make_large_pdf PAGES OUTPUT [OUTLINE_ITEMS [FILLER_BYTES [LINKS_PER_PAGE]]]
// FILLER_BYTES (default 800) is the comment filler in each page's content stream; megabytes
// each make a file of gigabytes from a few thousand pages. LINKS_PER_PAGE (default 0) link
// annotations on each page lead to other pages.
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "tests/support/large_pdf.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 6) {
    std::cerr << "usage: make_large_pdf PAGES OUTPUT [OUTLINE_ITEMS [FILLER_BYTES [LINKS_PER_PAGE]]]\n";
    return 1;
  }
  folvex::testing::LargePdfShape shape;
  shape.Pages = std::atoi(argv[1]);
  shape.OutlineItems = argc >= 4 ? std::atoi(argv[3]) : 0;
  const long long filler = argc >= 5 ? std::atoll(argv[4]) : 800;
  shape.LinksPerPage = argc == 6 ? std::atoi(argv[5]) : 0;
  if (shape.Pages < 1 || shape.OutlineItems < 0 || filler < 0 || shape.LinksPerPage < 0) {
    std::cerr << "make_large_pdf: PAGES must be positive, OUTLINE_ITEMS, FILLER_BYTES and LINKS_PER_PAGE not negative\n";
    return 1;
  }
  shape.Filler = static_cast<std::size_t>(filler);
  std::ofstream out(argv[2], std::ios::binary);
  out << folvex::testing::LargePdf(shape);
  out.close();
  if (!out) {
    std::cerr << "make_large_pdf: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
