// Writes a large classic PDF for the benchmark: make_large_pdf PAGES OUTPUT [OUTLINE_ITEMS]
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "tests/support/large_pdf.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::cerr << "usage: make_large_pdf PAGES OUTPUT [OUTLINE_ITEMS]\n";
    return 1;
  }
  folvex::testing::LargePdfShape shape;
  shape.Pages = std::atoi(argv[1]);
  shape.OutlineItems = argc == 4 ? std::atoi(argv[3]) : 0;
  if (shape.Pages < 1 || shape.OutlineItems < 0) {
    std::cerr << "make_large_pdf: PAGES must be positive\n";
    return 1;
  }
  std::ofstream(argv[2], std::ios::binary) << folvex::testing::LargePdf(shape);
  return 0;
}
