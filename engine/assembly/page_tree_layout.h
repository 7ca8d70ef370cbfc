// The balanced page tree of an extracted or merged file: at most 10 kids per /Pages node, the
// root is object 3, and nodes and pages take the numbers from 4 on in the order they are created.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/transfer/page_objects.h"

namespace folvex {

// Errors of LayOutPageTree. None occurs for a page count of at least 1.
constexpr int kPageTreePageOutsideTable = -1002;   // a page number beyond the node table, or no page
constexpr int kPageTreeRootFullBelowTarget = -1003;
constexpr int kPageTreeNodeOutsideTable = -1004;    // a /Pages node number beyond the node table
constexpr int kPageTreeRootFullAtTarget = -1005;

constexpr int kPageTreeRootNumber = 3;

struct PageTreeNode {
  int Parent = -1;        // -1 not a /Pages node, 0 for the root
  std::vector<int> Kids;  // object numbers, at most 10
  int PageCount = 0;      // pages below this node
};

struct PageTreeLayout {
  std::vector<int> PageNumbers;    // per output page, its object number
  std::vector<int> ParentNumbers;  // per output page, the number of its /Pages node
  std::vector<PageTreeNode> Nodes; // indexed by object number; only /Pages nodes have kids
  int LastNumber = 0;              // the highest number created
};

// The object number of the first page of a tree of pageCount pages, known before the tree is
// laid out (the catalog's open action names it).
int FirstPageNumber(int pageCount);

// Lays out the tree for pageCount pages. Returns 0, or one of the errors above with layout
// holding what was built so far.
int LayOutPageTree(int pageCount, PageTreeLayout& layout);

// Appends a /Pages object for every node from the root to layout.LastNumber that has kids, in
// increasing order, recording each object's offset in the output.
void AppendPagesObjects(TransferOutput& output, const PageTreeLayout& layout);

}  // namespace folvex
