#include "engine/assembly/outline_objects.h"

#include <algorithm>
#include <charconv>
#include <cstddef>

#include "engine/core/utf8.h"

namespace folvex {
namespace {

constexpr std::size_t kMaxTitleUnits = 258;
constexpr std::size_t kMaxEscapedTitleBytes = 522;

// The bytes [position, position + length) of an image; empty when the record points outside it.
std::string_view ImageText(const FileImage& image, std::int64_t position, int32_t length) {
  if (position < 0 || length <= 0) return {};
  const auto start = static_cast<std::size_t>(position);
  const auto size = static_cast<std::size_t>(length);
  if (start > image.Size() || size > image.Size() - start) return {};
  return {reinterpret_cast<const char*>(image.Begin()) + start, size};
}

// A number as "%f" prints it in the C locale.
void AppendFixed(std::string& out, double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  out.append(text, result.ptr);
}

void AppendReference(std::string& out, std::string_view key, int number) {
  out.append(key).append(std::to_string(number)).append(" 0 R\n");
}

// The object number of an output page, or -1 when the position has none.
int PageNumberAt(std::span<const int> pageNumbers, int page) {
  if (page < 0 || static_cast<std::size_t>(page) >= pageNumbers.size()) return -1;
  return pageNumbers[page];
}

void AppendItemTexts(std::string& out, const FileImage& image, const OutlineItem& item, int pageNumber) {
  const std::string_view title = ImageText(image, item.TitlePosition, item.TitleLength);
  if (title.empty()) {
    out += "/Title ()\n";
  } else {
    out.append("/Title ").append(title).append("\n");
  }
  const std::string_view colour = ImageText(image, item.ColourPosition, item.ColourLength);
  if (!colour.empty()) out.append("/C [ ").append(colour).append("]\n");
  if (item.Flags > 0) out += "/F " + std::to_string(item.Flags) + "\n";
  const std::string_view view = ImageText(image, item.ViewPosition, item.ViewLength);
  if (view.empty() || pageNumber < 0) {
    out += "/Dest null\n";
  } else {
    out.append("/Dest [ ").append(std::to_string(pageNumber)).append(" 0 R ").append(view).append("]\n");
  }
}

void AppendFileNameTexts(std::string& out, const MergeOutlineFile& file, const MergeOutlineOptions& options,
                         int pageNumber) {
  if (std::optional<std::string> title = FileNameTitle(file.Path)) out.append("/Title (").append(*title).append(")\n");
  if (options.Colour != 0) {
    out += "/C [ ";
    for (int shift : {0, 8, 16}) {
      const unsigned component = (options.Colour >> shift) & 0xFF;
      AppendFixed(out, (component + 0.000125) / 255);
      out += ' ';
    }
    out += "]\n";
  }
  const int flags = (options.Bold ? 2 : 0) + (options.Italic ? 1 : 0);
  if (flags != 0) out += "/F " + std::to_string(flags) + "\n";
  // The view's left and top are the third and fourth numbers of the first written page's media box.
  double left = 0, top = 0;
  const auto first = static_cast<std::size_t>(file.PageCount > 0 ? InputPageAt(file, 0) : 0);
  if (file.Slot != nullptr && first < file.Slot->PageBoxes.size()) {
    left = file.Slot->PageBoxes[first].Box[2];
    top = file.Slot->PageBoxes[first].Box[3];
  }
  if (pageNumber < 0) {
    out += "/Dest null\n";
    return;
  }
  out.append("/Dest [ ").append(std::to_string(pageNumber)).append(" 0 R /XYZ ");
  AppendFixed(out, left);
  out += ' ';
  AppendFixed(out, top);
  out += " null]\n";
}

// Decodes well-formed UTF-8 (no overlong forms, surrogates or values above U+10FFFF) into UTF-16
// units; no value when the text is not such UTF-8.
std::optional<std::u16string> DecodeUtf8(std::string_view text) {
  std::u16string units;
  std::size_t i = 0;
  while (i < text.size()) {
    const Utf8Character character = FirstUtf8Character(text.substr(i));
    if (character.Length == 0) return std::nullopt;
    char32_t code = character.Code;
    if (code >= 0x10000) {
      code -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(code));
    }
    i += character.Length;
  }
  return units;
}

// The number of UTF-16 units that the last `characters` characters of units take.
std::size_t TrailingUnits(const std::u16string& units, std::size_t characters) {
  std::size_t taken = 0;
  while (characters > 0 && taken < units.size()) {
    const char16_t last = units[units.size() - 1 - taken];
    const bool lowSurrogate = last >= 0xDC00 && last < 0xE000;
    taken += lowSurrogate && taken + 1 < units.size() ? 2 : 1;
    --characters;
  }
  return taken;
}

std::size_t CharacterCount(const std::u16string& units) {
  std::size_t count = 0;
  for (char16_t unit : units) {
    if (unit < 0xDC00 || unit >= 0xE000) ++count;
  }
  return count;
}

void AppendEscapedByte(std::string& out, unsigned char byte) {
  if (byte == '\\' || byte == '(' || byte == ')') out += '\\';
  out += static_cast<char>(byte);
}

}  // namespace

std::optional<std::string> FileNameTitle(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  std::optional<std::u16string> units = DecodeUtf8(name);
  if (!units) return std::nullopt;
  // The last four characters are the extension (".pdf") of any name longer than that.
  const std::size_t kept = CharacterCount(*units) > 4 ? units->size() - TrailingUnits(*units, 4) : units->size();
  if (kept > kMaxTitleUnits) return std::nullopt;
  if (kept == 0) return std::string();

  std::string escaped = "\xFE\xFF";
  for (char16_t unit : std::u16string_view(*units).substr(0, kept)) {
    AppendEscapedByte(escaped, static_cast<unsigned char>(unit >> 8));
    AppendEscapedByte(escaped, static_cast<unsigned char>(unit & 0xFF));
  }
  if (escaped.size() > kMaxEscapedTitleBytes) return std::nullopt;
  return escaped;
}

void AppendOutlineTree(std::string& out, std::vector<uint32_t>& offsets, int firstObjectNumber,
                       const OutlineTree& tree, std::span<const MergeOutlineFile> documents,
                       std::span<const int> pageNumbers, const MergeOutlineOptions* options) {
  const std::size_t count = std::min(tree.Entries.size(), tree.Nodes.size());
  if (firstObjectNumber < 1) return;
  if (offsets.size() < firstObjectNumber - 1 + count) offsets.resize(firstObjectNumber - 1 + count);
  for (std::size_t k = 0; k < count; ++k) {
    const OutlineEntry& entry = tree.Entries[k];
    const OutlineNode& node = tree.Nodes[k];
    const int number = firstObjectNumber + static_cast<int>(k);
    offsets[number - 1] = static_cast<uint32_t>(out.size());
    out += std::to_string(number) + " 0 obj\n<<\n";

    const bool hasDocument = entry.Document >= 0 && static_cast<std::size_t>(entry.Document) < documents.size();
    if (k == 0) {
      // The outline root carries its links and count only.
    } else if (entry.Item == kFileNameItem && hasDocument && options != nullptr) {
      AppendFileNameTexts(out, documents[entry.Document], *options, PageNumberAt(pageNumbers, entry.Page));
    } else if (entry.Item >= 1 && hasDocument && documents[entry.Document].Slot != nullptr &&
               static_cast<std::size_t>(entry.Item) < documents[entry.Document].Slot->OutlineItems.size()) {
      const DocumentSlot& slot = *documents[entry.Document].Slot;
      AppendItemTexts(out, slot.Image, slot.OutlineItems[entry.Item], PageNumberAt(pageNumbers, entry.Page));
    } else {
      out += "/Title ()\n/Dest null\n";
    }

    if (node.Parent >= 0) AppendReference(out, "/Parent ", firstObjectNumber + node.Parent);
    if (node.Prev >= 0) AppendReference(out, "/Prev ", firstObjectNumber + node.Prev);
    if (node.Next >= 0) AppendReference(out, "/Next ", firstObjectNumber + node.Next);
    if (node.First >= 0) AppendReference(out, "/First ", firstObjectNumber + node.First);
    if (node.Last >= 0) AppendReference(out, "/Last ", firstObjectNumber + node.Last);
    if (node.Count != 0) out += "/Count " + std::to_string(node.Count) + "\n";
    out += ">>\nendobj\n";
  }
}

int AppendExtractOutlines(std::string& out, std::vector<uint32_t>& offsets, int firstObjectNumber,
                          const JobSettings& job, const DocumentSlot& input, std::span<const int> pageIndexList,
                          std::span<const int> pageNumbers) {
  if (job.KeepOutlines == 0 || firstObjectNumber < 1) return 0;
  const OutlineTree tree = BuildExtractOutline(input.OutlineItems, pageIndexList, job.OutlinesToTop != 0);
  if (tree.Entries.size() < 2) return 0;
  const MergeOutlineFile document{&input, static_cast<int>(pageIndexList.size()), 0, {}};
  AppendOutlineTree(out, offsets, firstObjectNumber, tree, {&document, 1}, pageNumbers, nullptr);
  return static_cast<int>(tree.Entries.size());
}

void KeepOutlineTextsOnly(DocumentSlot& slot) {
  std::size_t size = 0;
  for (const OutlineItem& item : slot.OutlineItems) {
    size += ImageText(slot.Image, item.TitlePosition, item.TitleLength).size() +
            ImageText(slot.Image, item.ColourPosition, item.ColourLength).size() +
            ImageText(slot.Image, item.ViewPosition, item.ViewLength).size();
  }
  ImageBytes texts;
  texts.reserve(size + 1);
  // A text that is not there keeps reading as empty: its position becomes -1.
  auto move = [&](std::int64_t& position, int32_t length) {
    const std::string_view text = ImageText(slot.Image, position, length);
    position = text.empty() ? -1 : static_cast<std::int64_t>(texts.size());
    AppendBytes(texts, text.data(), text.size());
  };
  for (OutlineItem& item : slot.OutlineItems) {
    move(item.TitlePosition, item.TitleLength);
    move(item.ColourPosition, item.ColourLength);
    move(item.ViewPosition, item.ViewLength);
  }
  slot.Image = MakeFileImage(std::move(texts));
  slot.Xref = {};
  slot.HasXref = false;
  slot.PageList = {};
}

int AppendMergeOutlines(std::string& out, std::vector<uint32_t>& offsets, int firstObjectNumber,
                        const MergeOutlineOptions& options, std::span<const MergeOutlineFile> files,
                        std::span<const int> pageNumbers) {
  if ((!options.KeepOutlines && !options.FileToOutline) || firstObjectNumber < 1) return 0;
  const OutlineTree tree = BuildMergeOutline(options, files);
  if (tree.Entries.size() < 2) return 0;
  AppendOutlineTree(out, offsets, firstObjectNumber, tree, files, pageNumbers, &options);
  return static_cast<int>(tree.Entries.size());
}

}  // namespace folvex
