#include "engine/assembly/output_settings.h"

#include <charconv>
#include <cstdint>

namespace folvex {

void PrepareJobSettings(EngineState& state, JobOperation operation) {
  const OutputSettings& settings = state.Settings;
  JobSettings& job = state.Job;
  const bool extract = operation == JobOperation::Extract;

  job.JobPageMode = extract ? settings.PageModeE : settings.PageModeM;
  job.JobPageLayout = settings.PageLayout;
  job.JobOutlineKeep = extract ? settings.OutlineKeepE : settings.OutlineKeepM;
  job.JobDirection = settings.Direction;

  job.KeepOutlines = job.JobOutlineKeep == 1 || job.JobOutlineKeep == 2;
  job.OutlinesToTop = job.KeepOutlines && job.JobOutlineKeep == 2;

  job.InheritedOpenAction = kOpenActionNotLookedUp;
  // For "O" the catalog analysis of the first input decides FitWindow.
  job.FitWindow = ClassifyDispScale(settings.DispScale) == OpenView::Inherit
                      ? 0
                      : DispScaleFitsWindow(settings.DispScale);
}

OpenView ClassifyDispScale(std::string_view dispScale) {
  if (dispScale.empty()) return OpenView::None;
  switch (dispScale.front()) {
    case 'N': return OpenView::None;
    case 'A': return OpenView::Fit;
    case 'W': return OpenView::FitWidth;
    case 'H': return OpenView::FitHeight;
    case 'O': return OpenView::Inherit;
    default: return OpenView::Percentage;
  }
}

int DispScalePercentage(std::string_view dispScale) {
  int64_t value = 0;
  for (char c : dispScale) {
    if (!IsDigit(static_cast<Byte>(c))) break;
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) return INT32_MAX;
  }
  return static_cast<int>(value);
}

bool DispScaleFitsWindow(std::string_view dispScale) {
  return !dispScale.empty() && IsDigit(static_cast<Byte>(dispScale.front())) &&
         (dispScale.back() == 'F' || dispScale.back() == 'f');
}

bool CatalogHasOpenAction(const JobSettings& job, std::string_view dispScale) {
  switch (ClassifyDispScale(dispScale)) {
    case OpenView::None: return false;
    case OpenView::Inherit: return job.InheritedOpenAction >= 0;
    default: return true;
  }
}

bool CatalogHasFitWindowDictionary(const JobSettings& job, std::string_view dispScale) {
  const OpenView view = ClassifyDispScale(dispScale);
  if (view != OpenView::Percentage && view != OpenView::Inherit) return false;
  return job.FitWindow != 0 && CatalogHasOpenAction(job, dispScale);
}

// The "]" that closes an inherited destination: the first one outside "%" comments.
static const Byte* FindDestinationClose(const Byte* p, const Byte* end) {
  while (p < end) {
    if (*p == ']') return p;
    if (*p == '%') {
      while (p < end && !IsEndOfLine(*p)) ++p;
      continue;
    }
    ++p;
  }
  return nullptr;
}

// n * 0.01 with six decimals, as "%f" prints it in the C locale.
static void AppendZoom(std::string& out, int percentage) {
  char text[64];
  const auto result =
      std::to_chars(text, text + sizeof text, percentage * 0.01, std::chars_format::fixed, 6);
  out.append(text, result.ptr);
}

int AppendCatalogObject(std::string& out, const JobSettings& job, std::string_view dispScale, int firstPageNumber,
                        const FileImage* firstInputImage) {
  static constexpr std::string_view kHead = "1 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n";
  static constexpr std::string_view kFitWindow = "\n/ViewerPreferences << /FitWindow true >>";

  if (!CatalogHasOpenAction(job, dispScale)) {
    out.append(kHead).append(kCatalogClosing);
    return 0;
  }

  const OpenView view = ClassifyDispScale(dispScale);
  std::string_view inherited;
  if (view == OpenView::Inherit) {
    const auto offset = static_cast<std::size_t>(job.InheritedOpenAction);
    if (firstInputImage == nullptr || offset >= firstInputImage->Size()) {
      return kInheritedDestinationUnterminated;
    }
    const Byte* start = firstInputImage->Begin() + offset;
    const Byte* close = FindDestinationClose(start, firstInputImage->End());
    if (close == nullptr) return kInheritedDestinationUnterminated;
    inherited = std::string_view(reinterpret_cast<const char*>(start),
                                 static_cast<std::size_t>(close + 1 - start));
  }

  out.append(kHead).append("/OpenAction [ ").append(std::to_string(firstPageNumber)).append(" 0 R ");
  switch (view) {
    case OpenView::Fit: out.append("/Fit ]\n").append(kCatalogClosing); return 0;
    case OpenView::FitWidth: out.append("/FitH null ]\n").append(kCatalogClosing); return 0;
    case OpenView::FitHeight: out.append("/FitV null ]\n").append(kCatalogClosing); return 0;
    case OpenView::Inherit: out.append(inherited); break;
    default:
      out.append("/XYZ null null ");
      AppendZoom(out, DispScalePercentage(dispScale));
      out.append(" ]");
      break;
  }
  if (job.FitWindow != 0) out.append(kFitWindow);
  out.append("\n").append(kCatalogClosing);
  return 0;
}

bool AppendCatalogEntry(std::string& buffer, std::string_view entry) {
  if (!buffer.ends_with(kCatalogClosing)) return false;
  buffer.resize(buffer.size() - kCatalogClosing.size());
  buffer.append(entry).append("\n").append(kCatalogClosing);
  return true;
}

bool AppendDirectionEntry(std::string& buffer, const JobSettings& job, bool fitWindowDictionary) {
  if (job.JobDirection != 1) return true;
  if (!fitWindowDictionary) return AppendCatalogEntry(buffer, "/ViewerPreferences << /Direction /R2L >>");

  // The catalog ends "<< /FitWindow true >>\n>>\nendobj\n"; the direction joins that dictionary.
  static constexpr std::string_view kDictionaryClosing = ">>\n>>\nendobj\n";
  if (!buffer.ends_with(kDictionaryClosing)) return false;
  buffer.resize(buffer.size() - kDictionaryClosing.size());
  buffer.append("\n/Direction /R2L >>\n>>\nendobj\n");
  return true;
}

std::string_view PageLayoutEntry(int pageLayout) {
  switch (pageLayout) {
    case 1: return "/PageLayout /OneColumn";
    case 2: return "/PageLayout /TwoColumnLeft";
    case 3: return "/PageLayout /TwoColumnRight";
    case 5: return "/PageLayout /SinglePage";
    default: return {};
  }
}

std::string_view PageModeEntry(int pageMode, bool hasOutlineEntries) {
  switch (pageMode) {
    case 1: return "/PageMode /UseOutlines";
    case 2: return hasOutlineEntries ? "/PageMode /UseOutlines" : "/PageMode /UseThumbs";
    case 3: return "/PageMode /UseThumbs";
    case 4: return "/PageMode /FullScreen";
    case 6: return hasOutlineEntries ? "/PageMode /UseOutlines" : "/PageMode /UseNone";
    default: return {};
  }
}

bool AppendViewerEntries(std::string& buffer, const JobSettings& job, std::string_view dispScale,
                         bool hasOutlineEntries) {
  if (!AppendDirectionEntry(buffer, job, CatalogHasFitWindowDictionary(job, dispScale))) return false;
  const std::string_view layout = PageLayoutEntry(job.JobPageLayout);
  if (!layout.empty() && !AppendCatalogEntry(buffer, layout)) return false;
  const std::string_view mode = PageModeEntry(job.JobPageMode, hasOutlineEntries);
  if (!mode.empty() && !AppendCatalogEntry(buffer, mode)) return false;
  return true;
}

}  // namespace folvex
