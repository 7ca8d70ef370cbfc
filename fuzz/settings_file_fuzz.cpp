// Arbitrary settings file text: the reader takes whatever it finds, and what is written from it is
// UTF-8 that reads back to the same settings when no value holds a "Key=" of its own.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/model/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace folvex;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const AppSettings settings = ParseSettingsText(text);
  const std::string written = SettingsText(settings, true);
  if (!IsValidUtf8(written)) __builtin_trap();
  static const std::string plain = SettingsText(AppSettings(), true);
  static const auto keyCount = std::count(plain.begin(), plain.end(), '=');
  if (std::count(written.begin(), written.end(), '=') == keyCount &&
      SettingsText(ParseSettingsText(written), true) != written) {
    __builtin_trap();
  }
  WindowPositionOf(settings.Position);
  ColumnWidthsOf(settings.Columns, true);
  return 0;
}
