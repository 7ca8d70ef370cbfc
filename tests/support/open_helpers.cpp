#include "tests/support/open_helpers.h"

#include "engine/reading/open_document.h"
#include "engine/reading/xref.h"
#include "tests/support/pdf_writer.h"

namespace folvex::testing {

std::unique_ptr<OpenedDocument> OpenBytes(const std::string& bytes) {
  auto document = std::make_unique<OpenedDocument>();
  PrepareDocumentSlots(document->State, 1);
  DocumentSlot& slot = document->Slot();
  slot.Image = ImageOf(bytes);
  int generation = 0;
  document->Parsed = ParseXrefChain(document->State, slot.Image, slot.Xref, slot.CatalogNumber, generation) == 1;
  return document;
}

}  // namespace folvex::testing
