// Large generated inputs for the benchmark and for the tests that pin output bytes: a classic
// file with distinct text on every page, one font shared by all pages through an inherited
// /Resources, a three-level page tree, and optionally an outline and links between pages.
#pragma once

#include <cstddef>
#include <string>

namespace folvex::testing {

struct LargePdfShape {
  int Pages = 1000;
  // Outline items: top-level sections of up to ten items each, every item pointing at a page.
  int OutlineItems = 0;
  // Bytes of comment filler in each content stream, so pages have a realistic size (or, with
  // megabytes each, a file of gigabytes from a few thousand pages).
  std::size_t Filler = 800;
  // Link annotations on each page, each leading to another page.
  int LinksPerPage = 0;
};

std::string LargePdf(const LargePdfShape& shape);

}  // namespace folvex::testing
