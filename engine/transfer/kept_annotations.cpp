#include "engine/transfer/kept_annotations.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "engine/reading/pdf_strings.h"
#include "engine/transfer/pdf_values.h"

namespace folvex {

namespace {

constexpr std::string_view kEndObj = "\nendobj\n";
constexpr int kMaxDepth = 32;

bool IsDictionary(std::string_view value) { return value.starts_with("<<"); }

// A name's bytes without the slash, with #xx codes read (/Chapter#201 is "Chapter 1").
std::optional<std::string> NameBytes(std::string_view value) {
  if (!value.starts_with("/")) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 1; i < value.size(); ++i) {
    unsigned code = 0;
    if (value[i] == '#' && i + 2 < value.size() &&
        std::from_chars(value.data() + i + 1, value.data() + i + 3, code, 16).ptr == value.data() + i + 3) {
      bytes += static_cast<char>(code);
      i += 2;
    } else {
      bytes += value[i];
    }
  }
  return bytes;
}

// Reads the named destinations of the catalog's /Names /Dests tree and then its /Dests
// dictionary (a name in both keeps the tree's destination).
class DestinationReader {
 public:
  DestinationReader(const DocumentSlot& slot, std::unordered_map<std::string, std::string>& targets)
      : Slot(slot), Targets(targets) {}

  void Read() {
    std::vector<DictEntry> catalog, names, dests;
    if (!ReadDictionary(ObjectValue(Slot, Slot.CatalogNumber), catalog)) return;
    if (ReadDictionary(Resolved(Slot, ValueOf(catalog, "/Names")), names)) {
      ReadTreeNode(Resolved(Slot, ValueOf(names, "/Dests")), 0);
    }
    if (ReadDictionary(Resolved(Slot, ValueOf(catalog, "/Dests")), dests)) {
      for (const DictEntry& entry : dests) Targets.emplace(*NameBytes(entry.Key), Resolved(Slot, entry.Value));
    }
  }

 private:
  void ReadTreeNode(std::string_view node, int depth) {
    std::vector<DictEntry> entries;
    if (depth > kMaxDepth || !ReadDictionary(node, entries)) return;
    std::vector<std::string_view> items;
    if (ReadArray(Resolved(Slot, ValueOf(entries, "/Names")), items)) {
      for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
        if (std::optional<std::string> key = StringBytes(items[i])) Targets.emplace(*key, Resolved(Slot, items[i + 1]));
      }
    }
    if (!ReadArray(Resolved(Slot, ValueOf(entries, "/Kids")), items)) return;
    for (std::string_view kid : items) {
      const std::optional<int> number = ReferenceNumber(kid);
      if (number && Seen.insert(*number).second) ReadTreeNode(ObjectValue(Slot, *number), depth + 1);
    }
  }

  const DocumentSlot& Slot;
  std::unordered_map<std::string, std::string>& Targets;
  std::unordered_set<int> Seen;
};

// A destination found through /Dest or a GoTo action.
struct Target {
  enum Kind { None, Page, Broken } What = None;
  int PageIndex = -1;
  std::vector<std::string_view> Items;  // the explicit destination's items
  std::vector<DictEntry> Action;        // the GoTo action's entries, when it came from /A
};

// An annotation of a listing before its text is made.
struct Planned {
  int Key = 0;                  // its number in the copy: the source number or an added one
  std::optional<int> Source;    // its number in the document
  std::vector<DictEntry> Entries;
  bool Widget = false;
  Target Link;
};

// A text's changes: key -> new value (nullopt: left out). Keys are names the program spells.
struct Changes {
  std::vector<std::pair<std::string_view, std::optional<std::string>>> Items;

  void Set(std::string_view key, std::optional<std::string> value) {
    const auto found = std::ranges::find(Items, key, &decltype(Items)::value_type::first);
    if (found != Items.end()) {
      found->second = std::move(value);
    } else {
      Items.emplace_back(key, std::move(value));
    }
  }
  const std::optional<std::string>* Find(std::string_view key) const {
    const auto found = std::ranges::find(Items, key, &decltype(Items)::value_type::first);
    return found == Items.end() ? nullptr : &found->second;
  }
};

std::string DictionaryText(const std::vector<DictEntry>& entries, const Changes& changes) {
  std::string text = "<<";
  for (const DictEntry& entry : entries) {
    const std::optional<std::string>* change = changes.Find(entry.Key);
    if (change != nullptr && !*change) continue;
    text += ' ';
    text += entry.Key;
    text += ' ';
    text += change != nullptr ? std::string_view(**change) : entry.Value;
  }
  text += " >>";
  return text;
}

// name with suffix added, in the name's own encoding (UTF-16BE when it starts with its mark).
std::string SuffixedName(const std::string& name, const std::string& suffix) {
  std::string bytes = name;
  const bool utf16 = name.size() >= 2 && static_cast<unsigned char>(name[0]) == 0xFE &&
                     static_cast<unsigned char>(name[1]) == 0xFF;
  for (char c : suffix) {
    if (utf16) bytes += '\0';
    bytes += c;
  }
  return bytes;
}

std::string LiteralText(const std::string& bytes) {
  std::string text;
  AppendLiteralString(text, std::span(reinterpret_cast<const Byte*>(bytes.data()), bytes.size()));
  return text;
}

class Planner {
 public:
  Planner(const DocumentSlot& slot, std::span<const int> pageIndex, TransferWorkspace& workspace, FieldNames& names,
          int inputOrdinal)
      : Slot(slot), PageIndex(pageIndex), Work(workspace), Names(names), Ordinal(inputOrdinal) {}

  CopyExtras Plan() {
    ReadTables();
    const long long highest = Slot.Xref.empty() ? 0 : Slot.Xref.back().Number;
    if (highest >= INT_MAX / 2) return {};
    NextNumber = static_cast<int>(highest) + 1;
    for (std::size_t k = 0; k < PageIndex.size(); ++k) {
      const int page = PageIndex[k];
      if (!FirstListing.contains(page)) FirstListing.emplace(page, static_cast<int>(k));
    }
    Out.PageEntries.resize(PageIndex.size());
    for (std::size_t k = 0; k < PageIndex.size(); ++k) PlanListing(static_cast<int>(k));
    PlanFields();
    for (auto& [key, edit] : Edits) Out.Objects[key] = DictionaryText(edit.Entries, edit.Changed) + std::string(kEndObj);
    return std::move(Out);
  }

 private:
  struct Edit {
    std::vector<DictEntry> Entries;
    Changes Changed;
  };

  void ReadTables() {
    if (Work.AnnotationTablesRead) return;
    Work.AnnotationTablesRead = true;
    for (std::size_t i = 0; i < Slot.PageList.size(); ++i) {
      if (Slot.PageList[i].DirectOffset < 0) Work.PageOfNumber.emplace(Slot.PageList[i].Number, static_cast<int>(i));
    }
    DestinationReader(Slot, Work.NamedDestinations).Read();
  }

  bool HasNumber(int page) const {
    return page >= 0 && static_cast<std::size_t>(page) < Slot.PageList.size() &&
           Slot.PageList[static_cast<std::size_t>(page)].DirectOffset < 0;
  }

  std::string_view PageDictionary(int page) const {
    const PageEntry& entry = Slot.PageList[static_cast<std::size_t>(page)];
    if (entry.DirectOffset < 0) return ObjectValue(Slot, entry.Number);
    const auto at = static_cast<std::size_t>(entry.DirectOffset);
    if (at >= Slot.Image.Size()) return {};
    return {reinterpret_cast<const char*>(Slot.Image.Begin()) + at, Slot.Image.Size() - at};
  }

  // The page an explicit, named or dictionary destination leads to.
  Target Destination(std::string_view value, int depth) const {
    value = Resolved(Slot, value);
    Target target;
    target.What = Target::Broken;
    if (depth > 4 || value.empty()) return target;
    if (IsDictionary(value)) {
      std::vector<DictEntry> entries;
      return ReadDictionary(value, entries) ? Destination(ValueOf(entries, "/D"), depth + 1) : target;
    }
    if (value.starts_with("[")) {
      if (!ReadArray(value, target.Items) || target.Items.empty()) return target;
      const std::string_view first = target.Items.front();
      if (const std::optional<int> number = ReferenceNumber(first)) {
        const auto found = Work.PageOfNumber.find(*number);
        if (found != Work.PageOfNumber.end()) target.PageIndex = found->second;
      } else {
        int index = -1;
        const auto [end, error] = std::from_chars(first.data(), first.data() + first.size(), index);
        if (error == std::errc{} && end == first.data() + first.size() && index >= 0 &&
            static_cast<std::size_t>(index) < Slot.PageList.size()) {
          target.PageIndex = index;
        }
      }
      if (target.PageIndex >= 0) target.What = Target::Page;
      return target;
    }
    std::optional<std::string> name = value.starts_with("/") ? NameBytes(value) : StringBytes(value);
    if (!name) return target;
    const auto found = Work.NamedDestinations.find(*name);
    return found == Work.NamedDestinations.end() ? target : Destination(found->second, depth + 1);
  }

  // Where an annotation's /Dest or /A GoTo leads; None for any other action or none.
  Target LinkTarget(const std::vector<DictEntry>& entries) const {
    if (const std::string_view dest = ValueOf(entries, "/Dest"); !dest.empty()) return Destination(dest, 0);
    std::vector<DictEntry> action;
    if (!ReadDictionary(Resolved(Slot, ValueOf(entries, "/A")), action) || ValueOf(action, "/S") != "/GoTo") return {};
    Target target = Destination(ValueOf(action, "/D"), 0);
    target.Action = std::move(action);
    return target;
  }

  // The destination rewritten to the page's object, which the copy renumbers to its first listing.
  std::string DestinationText(const Target& target) const {
    std::string text = "[" + ReferenceText(Slot.PageList[static_cast<std::size_t>(target.PageIndex)].Number);
    for (std::size_t i = 1; i < target.Items.size(); ++i) {
      text += ' ';
      text += target.Items[i];
    }
    return text + "]";
  }

  bool Copied(const Target& target) const {
    return target.What == Target::Page && FirstListing.contains(target.PageIndex) && HasNumber(target.PageIndex);
  }

  void PlanListing(int listing) {
    const int page = PageIndex[static_cast<std::size_t>(listing)];
    const bool first = FirstListing.at(page) == listing;
    std::vector<DictEntry> pageEntries;
    std::vector<std::string_view> annots;
    if (!ReadDictionary(PageDictionary(page), pageEntries) ||
        !ReadArray(Resolved(Slot, ValueOf(pageEntries, "/Annots")), annots)) {
      return;
    }
    std::vector<Planned> kept;
    std::unordered_map<int, int> copyOf;  // source number -> key on this listing
    for (std::string_view item : annots) {
      Planned annotation;
      annotation.Source = ReferenceNumber(item);
      // A page listed among the annotations is no annotation.
      if (annotation.Source && Work.PageOfNumber.contains(*annotation.Source)) continue;
      if (!ReadDictionary(Resolved(Slot, item), annotation.Entries)) continue;
      const std::string_view subtype = ValueOf(annotation.Entries, "/Subtype");
      annotation.Widget = subtype == "/Widget";
      if (annotation.Widget && !first) continue;
      annotation.Link = LinkTarget(annotation.Entries);
      // A link to a page left out goes; one that led nowhere already stays without its action.
      if (subtype == "/Link" && annotation.Link.What == Target::Page && !Copied(annotation.Link)) continue;
      const bool own = first && annotation.Source && TakenSources.insert(*annotation.Source).second;
      annotation.Key = own ? *annotation.Source : NextNumber++;
      if (annotation.Source) copyOf.emplace(*annotation.Source, annotation.Key);
      kept.push_back(std::move(annotation));
    }
    if (kept.empty()) return;

    std::string pageReference;
    if (HasNumber(page)) {
      const int alias = first ? Slot.PageList[static_cast<std::size_t>(page)].Number : NextNumber++;
      if (!first) Out.PageAliases.emplace(alias, listing);
      pageReference = ReferenceText(alias);
    }
    std::string& annotsEntry = Out.PageEntries[static_cast<std::size_t>(listing)];
    annotsEntry = "/Annots [";
    for (Planned& annotation : kept) {
      Edit edit{std::move(annotation.Entries), {}};
      Changes& changed = edit.Changed;
      changed.Set("/P", pageReference.empty() ? std::nullopt : std::optional(pageReference));
      for (std::string_view key : {"/Popup", "/IRT", "/Parent"}) {
        const std::string_view value = ValueOf(edit.Entries, key);
        if (value.empty() || (key == "/Parent" && annotation.Widget)) continue;
        const std::optional<int> to = ReferenceNumber(value);
        const auto copy = to ? copyOf.find(*to) : copyOf.end();
        changed.Set(key, copy == copyOf.end() ? std::nullopt : std::optional(ReferenceText(copy->second)));
      }
      RewriteLink(annotation.Link, changed);
      if (annotsEntry.size() > 9) annotsEntry += ' ';
      annotsEntry += ReferenceText(annotation.Key);
      // A widget's field may change it again; any other annotation is written now.
      if (annotation.Widget && annotation.Source && annotation.Key == *annotation.Source) {
        const auto at = Edits.insert_or_assign(annotation.Key, std::move(edit)).first;
        AddWidget(annotation.Key, at->second.Entries);
      } else {
        Out.Objects[annotation.Key] = DictionaryText(edit.Entries, edit.Changed) + std::string(kEndObj);
      }
    }
    annotsEntry += "]";
    annotsEntry += kEndObj;
  }

  void RewriteLink(const Target& link, Changes& changed) const {
    if (link.What == Target::None) return;
    const std::string_view key = link.Action.empty() ? "/Dest" : "/A";
    if (!Copied(link)) {
      changed.Set(key, std::nullopt);
      return;
    }
    if (link.Action.empty()) {
      changed.Set(key, DestinationText(link));
      return;
    }
    // The action's chain (/Next) could lead anywhere: the kept GoTo stands alone.
    changed.Set(key, DictionaryText(link.Action, Changes{{{"/D", DestinationText(link)}, {"/Next", std::nullopt}}}));
  }

  // Enters the widget's field and its ancestors, each keeping the child it was reached from. A
  // field whose /Parent is not a field dictionary is taken as a root.
  void AddWidget(int widget, const std::vector<DictEntry>& entries) {
    int child = widget;
    std::vector<DictEntry> childEntries = entries;
    std::unordered_set<int> chain{widget};
    CopiedFields.insert(widget);
    for (int depth = 0; depth <= kMaxDepth; ++depth) {
      const std::optional<int> parent = ReferenceNumber(ValueOf(childEntries, "/Parent"));
      std::vector<DictEntry> parentEntries;
      if (!parent || !chain.insert(*parent).second || !ReadDictionary(ObjectValue(Slot, *parent), parentEntries)) {
        break;
      }
      const bool known = FieldKids.contains(*parent);
      std::vector<int>& kids = FieldKids[*parent];
      if (KidsEntered.insert({*parent, child}).second) kids.push_back(child);
      CopiedFields.insert(*parent);
      if (known) return;
      child = *parent;
      childEntries = std::move(parentEntries);
    }
    if (RootsEntered.insert(child).second) RootFields.push_back(child);
  }

  void PlanFields() {
    for (const auto& [field, kids] : FieldKids) {
      Edit& edit = Edits[field];
      if (edit.Entries.empty()) ReadDictionary(ObjectValue(Slot, field), edit.Entries);
      std::vector<std::string_view> listed;
      ReadArray(Resolved(Slot, ValueOf(edit.Entries, "/Kids")), listed);
      // The kids in the field's own order, then any the field does not list.
      std::vector<int> order;
      std::unordered_set<int> placed;
      for (std::string_view kid : listed) {
        const std::optional<int> number = ReferenceNumber(kid);
        if (number && KidsEntered.contains({field, *number}) && placed.insert(*number).second) order.push_back(*number);
      }
      for (int kid : kids) {
        if (placed.insert(kid).second) order.push_back(kid);
      }
      std::string text = "[";
      for (int kid : order) text += (text.size() > 1 ? " " : "") + ReferenceText(kid);
      edit.Changed.Set("/Kids", text + "]");
    }
    if (RootFields.empty()) return;
    std::string fields = "[";
    std::map<int, std::string> rootNames;
    FieldNames own;
    const std::vector<DictEntry> form = FormDictionary();
    for (int root : RootFields) {
      fields += (fields.size() > 1 ? " " : "") + ReferenceText(root);
      Edit& edit = Edits[root];
      if (edit.Entries.empty()) ReadDictionary(ObjectValue(Slot, root), edit.Entries);
      if (!ValueOf(edit.Entries, "/Parent").empty()) edit.Changed.Set("/Parent", std::nullopt);
      // The form's default appearance and alignment go down to its root fields, where they are
      // inherited as before, so that a form joined with another keeps its own.
      for (std::string_view key : {"/DA", "/Q"}) {
        const std::string_view value = Resolved(Slot, ValueOf(form, key));
        if (!value.empty() && ValueOf(edit.Entries, key).empty()) edit.Entries.push_back({key, value});
      }
      if (std::optional<std::string> name = StringBytes(ValueOf(edit.Entries, "/T"))) {
        own.insert(*name);
        rootNames.emplace(root, std::move(*name));
      }
    }
    // A name an earlier file's root field has takes "_k", then "_k_2", "_k_3" ... until it is free
    // in both files; roots that share a name here share the new one.
    std::map<std::string, std::string> renamedAs;
    for (const auto& [root, name] : rootNames) {
      if (Ordinal < 2 || !Names.contains(name)) continue;
      auto [renamed, added] = renamedAs.try_emplace(name, SuffixedName(name, "_" + std::to_string(Ordinal)));
      for (int more = 2; added && (Names.contains(renamed->second) || own.contains(renamed->second)); ++more) {
        renamed->second = SuffixedName(name, "_" + std::to_string(Ordinal) + "_" + std::to_string(more));
      }
      own.insert(renamed->second);
      Edits[root].Changed.Set("/T", LiteralText(renamed->second));
    }
    Names.insert(own.begin(), own.end());
    Out.Roots.push_back(fields + "]" + std::string(kEndObj));
    Out.Roots.push_back(FormEntries(form) + std::string(kEndObj));
  }

  std::vector<DictEntry> FormDictionary() const {
    std::vector<DictEntry> catalog, form;
    if (ReadDictionary(ObjectValue(Slot, Slot.CatalogNumber), catalog)) {
      ReadDictionary(Resolved(Slot, ValueOf(catalog, "/AcroForm")), form);
    }
    return form;
  }

  // The form's entries besides its fields, with the resource dictionary and its subdictionaries
  // written out so that forms of several files can be joined name by name.
  std::string FormEntries(const std::vector<DictEntry>& form) const {
    std::string text = "<<";
    std::vector<DictEntry> resources;
    if (ReadDictionary(Resolved(Slot, ValueOf(form, "/DR")), resources)) {
      std::vector<DictEntry> inlined;
      for (const DictEntry& entry : resources) {
        // An entry naming an object that is not there is left out.
        if (const std::string_view value = Resolved(Slot, entry.Value); !value.empty()) inlined.push_back({entry.Key, value});
      }
      text += " /DR " + DictionaryText(inlined, {});
    }
    for (std::string_view key : {"/DA", "/Q", "/NeedAppearances", "/SigFlags"}) {
      const std::string_view value = Resolved(Slot, ValueOf(form, key));
      if (!value.empty()) text += " " + std::string(key) + " " + std::string(value);
    }
    // The calculation order keeps the fields copied.
    std::vector<std::string_view> order;
    if (ReadArray(Resolved(Slot, ValueOf(form, "/CO")), order)) {
      std::string kept;
      for (std::string_view field : order) {
        const std::optional<int> number = ReferenceNumber(field);
        if (number && CopiedFields.contains(*number)) kept += (kept.empty() ? "" : " ") + ReferenceText(*number);
      }
      if (!kept.empty()) text += " /CO [" + kept + "]";
    }
    return text + " >>";
  }

  const DocumentSlot& Slot;
  std::span<const int> PageIndex;
  TransferWorkspace& Work;
  FieldNames& Names;
  int Ordinal;
  int NextNumber = 1;
  CopyExtras Out;
  std::unordered_map<int, int> FirstListing;  // page index -> its first listing
  std::unordered_set<int> TakenSources;        // annotations already written under their own number
  std::map<int, Edit> Edits;
  std::map<int, std::vector<int>> FieldKids;   // field -> its copied kids
  std::set<std::pair<int, int>> KidsEntered;   // field, kid
  std::vector<int> RootFields;
  std::unordered_set<int> RootsEntered;
  std::unordered_set<int> CopiedFields;        // every field reached from a copied widget
};

// Joins resource dictionaries name by name: the first document's value of a name wins.
void JoinResources(std::string_view dictionary, std::vector<std::pair<std::string, std::vector<DictEntry>>>& joined) {
  std::vector<DictEntry> entries;
  if (!ReadDictionary(dictionary, entries)) return;
  for (const DictEntry& entry : entries) {
    auto group = std::ranges::find_if(joined, [&](const auto& g) { return g.first == entry.Key; });
    std::vector<DictEntry> names;
    if (!IsDictionary(entry.Value) || !ReadDictionary(entry.Value, names)) {
      if (group == joined.end()) joined.push_back({std::string(entry.Key), {{"", entry.Value}}});
      continue;
    }
    if (group == joined.end()) group = joined.insert(joined.end(), {std::string(entry.Key), {}});
    // A value that is no dictionary came first and stays.
    if (!group->second.empty() && group->second.front().Key.empty()) continue;
    for (const DictEntry& name : names) {
      if (std::ranges::none_of(group->second, [&](const DictEntry& e) { return e.Key == name.Key; })) {
        group->second.push_back(name);
      }
    }
  }
}

}  // namespace

CopyExtras PlanKeptAnnotations(const DocumentSlot& slot, std::span<const int> pageIndex, TransferWorkspace& workspace,
                               FieldNames& names, int inputOrdinal) {
  return Planner(slot, pageIndex, workspace, names, inputOrdinal).Plan();
}

std::string AcroFormEntry(std::span<const std::vector<std::string>> rewrittenRoots) {
  std::string fields, dataDefault, quadding, order;
  bool needAppearances = false;
  long long sigFlags = 0;
  std::vector<std::pair<std::string, std::vector<DictEntry>>> resources;
  for (const std::vector<std::string>& roots : rewrittenRoots) {
    std::vector<std::string_view> items;
    std::vector<DictEntry> form;
    if (roots.size() < 2 || !ReadArray(roots[0], items) || !ReadDictionary(roots[1], form)) continue;
    for (std::string_view item : items) fields += (fields.empty() ? "" : " ") + std::string(item);
    JoinResources(ValueOf(form, "/DR"), resources);
    if (dataDefault.empty()) dataDefault = ValueOf(form, "/DA");
    if (quadding.empty()) quadding = ValueOf(form, "/Q");
    std::vector<std::string_view> calculated;
    if (ReadArray(ValueOf(form, "/CO"), calculated)) {
      for (std::string_view field : calculated) order += (order.empty() ? "" : " ") + std::string(field);
    }
    needAppearances = needAppearances || ValueOf(form, "/NeedAppearances") == "true";
    const std::string_view flags = ValueOf(form, "/SigFlags");
    long long value = 0;
    if (std::from_chars(flags.data(), flags.data() + flags.size(), value).ec == std::errc{}) sigFlags |= value;
  }
  if (fields.empty()) return {};
  std::string text = "/AcroForm << /Fields [" + fields + "]";
  if (!resources.empty()) {
    text += " /DR <<";
    for (const auto& [key, names] : resources) {
      text += " " + key + " ";
      if (names.size() == 1 && names[0].Key.empty()) {
        text += names[0].Value;
        continue;
      }
      text += "<<";
      for (const DictEntry& name : names) text += " " + std::string(name.Key) + " " + std::string(name.Value);
      text += " >>";
    }
    text += " >>";
  }
  if (!dataDefault.empty()) text += " /DA " + dataDefault;
  if (!quadding.empty()) text += " /Q " + quadding;
  if (!order.empty()) text += " /CO [" + order + "]";
  if (needAppearances) text += " /NeedAppearances true";
  if (sigFlags != 0) text += " /SigFlags " + std::to_string(sigFlags);
  return text + " >>";
}

}  // namespace folvex
