// Writing the outline tree of an extracted or merged file as PDF objects.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/assembly/outline_tree.h"
#include "engine/core/document.h"
#include "engine/core/job_settings.h"

namespace folvex {

// Appends the rebuilt outline of an extract, entry k as object firstObjectNumber + k (the outline
// root first), recording offsets (entry m - 1 for object m). pageNumbers holds the object number
// of each output page. Returns the number of objects written: 0 when outlines are not kept or no
// item lies on a written page, and then nothing is appended.
int AppendExtractOutlines(std::string& out, std::vector<uint32_t>& offsets, int firstObjectNumber,
                          const JobSettings& job, const DocumentSlot& input, std::span<const int> pageIndexList,
                          std::span<const int> pageNumbers);

// The same for a merge: file-name entries and the inputs' items as options ask. pageNumbers holds
// the object number of each output page, in global page order.
int AppendMergeOutlines(std::string& out, std::vector<uint32_t>& offsets, int firstObjectNumber,
                        const MergeOutlineOptions& options, std::span<const MergeOutlineFile> files,
                        std::span<const int> pageNumbers);

// Shrinks a merge input's slot, once its pages are written, to what AppendMergeOutlines reads:
// the outline items, their texts moved into a small image of their own, and the page boxes.
void KeepOutlineTextsOnly(DocumentSlot& slot);

// Writes a built tree; the shared step of the two calls above. The file-name entries of a merge
// take their texts from options (may be null when there are none).
void AppendOutlineTree(std::string& out, std::vector<uint32_t>& offsets, int firstObjectNumber,
                       const OutlineTree& tree, std::span<const MergeOutlineFile> documents,
                       std::span<const int> pageNumbers, const MergeOutlineOptions* options);

// The bytes between the parentheses of a file-name entry's /Title: the file name of path (after
// the last '/' or '\'), without its last four characters when it has more than four, as UTF-16BE
// behind the mark FE FF, each '\', '(' and ')' byte escaped with a backslash. An empty name gives
// no bytes. No value (no /Title) when the name is not valid UTF-8, needs more than 258 UTF-16
// units, or escapes to more than 522 bytes.
std::optional<std::string> FileNameTitle(std::string_view path);

}  // namespace folvex
