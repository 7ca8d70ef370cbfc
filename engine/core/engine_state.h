// The job-wide variables of the engine. One EngineState per job, passed by reference; nothing in
// the engine is a mutable global.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/core/document.h"
#include "engine/core/document_texts.h"
#include "engine/core/job_control.h"
#include "engine/core/job_settings.h"
#include "engine/core/security_state.h"

namespace folvex {

struct EngineState {
  int LastErrorCode = 0;

  // Trailer values of the document parsed last.
  std::optional<std::size_t> EncryptRef;  // offset of the "/Encrypt" key in the parsed image
  int InfoNumber = 0;
  int InfoGeneration = 0;
  std::array<Byte, 100> FileId{};
  int FileIdLength = 0;
  int NeedsConversion = 0;
  int PageCount = 0;
  // A compressed stream expanded beyond its limit (see ConvertXrefStreams) while the job read.
  bool StreamLimitPassed = false;
  // The open sequence's stage that failed last (see OpenDocument).
  int OpenFailedStage = 0;
  // The catalog of the image prepared for the security writer.
  int ProtectCatalogNumber = -1;
  int ProtectCatalogGeneration = -1;

  // Document slots: one for extract, counting and security, one per input for merge.
  std::vector<DocumentSlot> Slots;
  std::vector<PagesBoxEntry> PagesBoxTable;

  // The standard-handler values of the file being protected or opened, and the security job's
  // inputs and out-values.
  SecurityParameters Security;
  SecurityJob SecurityJobState;

  OutputSettings Settings;  // the user's settings as the job was started with them
  JobSettings Job;

  // File index and count shown in the outline-analysis progress (the merge driver sets them).
  int ProgressFileIndex = 1;
  int ProgressFileCount = 1;

  JobControl* Control = nullptr;  // null: no progress, never cancelled
  // Where the job's dates come from: the time now (CurrentDocumentTime) unless a caller sets it.
  std::function<DocumentTime()> Clock;
  // Set while a step runs that repeats work already reported (a merge opening an input again).
  bool ProgressMuted = false;

  // Work done by the reading scans, counted so that tests can bound it.
  long PageNodeScans = 0;     // page-tree node dictionaries examined
  long DestinationScans = 0;  // outline destination values read from their objects
  // Called after every page-tree node examination; tests use it to act in the middle of a walk.
  std::function<void()> PageNodeScanHook;

  bool Cancelled() const { return Control != nullptr && Control->Cancelled(); }
  DocumentTime Now() const { return Clock ? Clock() : CurrentDocumentTime(); }
  void ReportProgress(std::string_view english, std::string_view japanese, int percent) {
    if (Control != nullptr && !ProgressMuted) Control->ReportProgress(english, japanese, percent);
  }
};

}  // namespace folvex
