// The user's output document settings and their effective values for one extract or merge job.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace folvex {

struct OutputSettings {
  std::string DispScale = "N";   // "N", "A", "W", "H", "O" or a percentage such as "150" / "150F"
  std::string ScaleText = "100";
  int32_t PageLayout = 0;        // 0 none, 1 one column, 2 two left, 3 two right, 4 inherit, 5 single page
  int32_t Direction = 0;         // 0 left to right, 1 right to left, 2 inherit
  int32_t OutlineKeepE = 0, OutlineKeepM = 0, OutlineKeepS = 0;  // 0 no, 1 keep, 2 keep at top level
  int32_t PageModeE = 0, PageModeM = 0, PageModeS = 0;           // 0..6, 5 inherit
  int32_t FileToOutline = 0;
  int32_t OBold = 0, OItalic = 0;
  uint32_t OColor = 0;           // Windows RGB, red in the low byte; 0 means no colour entry
  std::array<uint32_t, 16> CustomColors = [] {
    std::array<uint32_t, 16> colours{};
    colours.fill(0xFFFFFF);
    return colours;
  }();
  int32_t ODown = 0;
  int32_t OOpen = 1;
  // Copied pages keep their annotations (links remapped, form fields carried in a new /AcroForm).
  int32_t KeepAnnots = 0;
};

// InheritedOpenAction is an offset into the first input's image, or one of these marks.
constexpr std::int64_t kOpenActionNotLookedUp = -2;
constexpr std::int64_t kOpenActionNoneFound = -1;

struct JobSettings {
  int32_t JobPageMode = 0;
  int32_t JobPageLayout = 0;
  int32_t JobOutlineKeep = 0;
  int32_t JobDirection = 0;
  int32_t KeepOutlines = 0;
  int32_t OutlinesToTop = 0;
  int32_t FitWindow = 0;
  std::int64_t InheritedOpenAction = kOpenActionNotLookedUp;
};

}  // namespace folvex
