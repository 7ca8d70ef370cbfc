// The annotations a page copy keeps: links, comments and form fields rewritten so that they refer
// only to what the new file holds.
#pragma once

#include <set>
#include <span>
#include <string>
#include <vector>

#include "engine/core/document.h"
#include "engine/transfer/page_objects.h"

namespace folvex {

// The full names of the root fields already in a merged file, as bytes.
using FieldNames = std::set<std::string>;

// Plans the annotations of the listings of pageIndex, in output order. Each listing's /Annots is
// given as a page entry; every kept annotation is written from a text of its own:
// - /P names the listing's page; /Popup, /IRT and a comment's /Parent name the copy on the same
//   listing, or are left out;
// - a link inside the document (/Dest, /A GoTo, a named destination) becomes an explicit
//   destination on the first listing of its target page; a link whose target page is not copied is
//   left out, and one that leads to no page keeps its place without its destination or action (as
//   does any other annotation whose target is not copied);
// - widgets stay on the first listing of their page only; their fields, up to the root field,
//   keep only the copied widgets, and a root field of input inputOrdinal >= 2 whose name is in
//   names gets "_k" added (every root field name is added to names); root fields take the form's
//   /DA and /Q where they have none.
// When widgets are kept, Roots holds the root fields' array and the form's other entries, for
// AcroFormEntry. workspace keeps the document's destination tables between calls.
CopyExtras PlanKeptAnnotations(const DocumentSlot& slot, std::span<const int> pageIndex, TransferWorkspace& workspace,
                               FieldNames& names, int inputOrdinal);

// The catalog entry "/AcroForm << ... >>" of the rewritten roots of every copied document, in
// order (documents without fields give none); empty when no field was copied. Fields follow each
// other; /DR takes each resource name from the first document that has it, /DA and /Q the first
// ones, /NeedAppearances is true when one is, /SigFlags joins the flags, and /CO lists each
// document's copied calculated fields in turn.
std::string AcroFormEntry(std::span<const std::vector<std::string>> rewrittenRoots);

}  // namespace folvex
