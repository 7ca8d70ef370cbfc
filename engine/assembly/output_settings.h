// Output document settings: job preparation and the catalog text each setting produces.
#pragma once

#include <string>
#include <string_view>

#include "engine/core/engine_state.h"

namespace folvex {

enum class JobOperation { Extract, Merge };

// Fills state.Job from state.Settings for an extract or merge job, before any input is read.
void PrepareJobSettings(EngineState& state, JobOperation operation);

// The forms a DispScale text can take, decided by its first character. Any first character other
// than N, A, W, H and O (a digit, or a stray letter from a hand-edited settings file) makes it a
// percentage.
enum class OpenView { None, Fit, FitWidth, FitHeight, Inherit, Percentage };
OpenView ClassifyDispScale(std::string_view dispScale);

// The leading decimal integer of a percentage DispScale (0 when it does not start with a digit),
// saturated at INT32_MAX.
int DispScalePercentage(std::string_view dispScale);

// True for a percentage DispScale that ends in "F" or "f" (fit the window).
bool DispScaleFitsWindow(std::string_view dispScale);

// True when the catalog of AppendCatalogObject carries an open action.
bool CatalogHasOpenAction(const JobSettings& job, std::string_view dispScale);

// True when the catalog of AppendCatalogObject ends with "/ViewerPreferences << /FitWindow true >>".
bool CatalogHasFitWindowDictionary(const JobSettings& job, std::string_view dispScale);

// Error of AppendCatalogObject when the inherited destination has no closing "]" before the end
// of the image.
constexpr int kInheritedDestinationUnterminated = -312;

// Appends the catalog, object 1, from "1 0 obj\n" to "endobj\n". firstPageNumber is the object
// number of the first output page; firstInputImage is the image that job.InheritedOpenAction
// points into (used only for an inherited destination, may be null otherwise). Returns 0, or
// kInheritedDestinationUnterminated with out unchanged.
int AppendCatalogObject(std::string& out, const JobSettings& job, std::string_view dispScale, int firstPageNumber,
                        const FileImage* firstInputImage);

// The closing bytes every catalog ends with; catalog entries are inserted in front of them.
constexpr std::string_view kCatalogClosing = ">>\nendobj\n";

// Replaces the catalog's closing ">>\nendobj\n" at the end of buffer by entry and
// "\n>>\nendobj\n", so the entry stands on its own line before ">>". Returns false, leaving the
// buffer unchanged, when the buffer does not end with the closing bytes.
bool AppendCatalogEntry(std::string& buffer, std::string_view entry);

// Appends the right-to-left entry when job.JobDirection is 1. With fitWindowDictionary the
// catalog's final /ViewerPreferences dictionary is extended instead of a second one being written.
bool AppendDirectionEntry(std::string& buffer, const JobSettings& job, bool fitWindowDictionary);

// The /PageLayout entry of a layout code; empty for 0 and unknown codes.
std::string_view PageLayoutEntry(int pageLayout);

// The /PageMode entry of a mode code; empty for 0, 5 and unknown codes. Modes 2 and 6 depend on
// whether the output gets at least one outline entry.
std::string_view PageModeEntry(int pageMode, bool hasOutlineEntries);

// Appends, in this order, the direction, page layout and page mode entries that the job asks
// for to the catalog at the end of buffer. Returns false when the buffer does not end with the
// catalog's closing bytes (nothing is then changed).
bool AppendViewerEntries(std::string& buffer, const JobSettings& job, std::string_view dispScale,
                         bool hasOutlineEntries);

}  // namespace folvex
