// The desktop program's menu and accelerator resources (app/win32/resources/menus.rc) against the
// command table: every menu, item, separator, id and label, in both languages.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/commands/command_table.h"

namespace folvex {
namespace {

// One node of a menu resource: a popup with children, an item with an id, or a separator.
struct MenuNode {
  enum Kind { Popup, Item, Separator } Type = Popup;
  std::string Label;
  int Id = 0;
  std::vector<MenuNode> Children;
};

std::string ReadResourceScript() {
  std::ifstream in(std::string(FOLVEX_SOURCE_DIR) + "/app/win32/resources/menus.rc");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A quoted resource string with its escapes (\t, \\, "") resolved; pos moves past it.
std::string QuotedText(const std::string& line, std::size_t& pos) {
  std::string text;
  pos = line.find('"', pos) + 1;
  while (pos < line.size()) {
    const char c = line[pos++];
    if (c == '\\' && pos < line.size()) {
      const char e = line[pos++];
      text += e == 't' ? '\t' : e;
    } else if (c == '"') {
      if (pos < line.size() && line[pos] == '"') {
        text += '"';
        ++pos;
      } else {
        break;
      }
    } else {
      text += c;
    }
  }
  return text;
}

std::string Trimmed(const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

// The MENU resource called name, as a popup whose children are the menu bar's (or the context
// menu's) entries; Label "<missing>" when the script has no such resource.
MenuNode MenuResource(const std::string& script, const std::string& name) {
  std::istringstream lines(script);
  std::string line;
  MenuNode root;
  root.Label = "<missing>";
  while (std::getline(lines, line)) {
    if (Trimmed(line) == name + " MENU") break;
  }
  if (!lines) return root;
  root.Label = name;
  std::vector<MenuNode*> open{&root};
  MenuNode* last = nullptr;
  while (std::getline(lines, line) && !open.empty()) {
    const std::string text = Trimmed(line);
    if (text == "BEGIN") {
      if (last != nullptr && last->Type == MenuNode::Popup) open.push_back(last);
      last = nullptr;
    } else if (text == "END") {
      open.pop_back();
    } else if (text == "MENUITEM SEPARATOR") {
      open.back()->Children.push_back({MenuNode::Separator, "", 0, {}});
    } else if (text.rfind("MENUITEM ", 0) == 0) {
      std::size_t pos = 0;
      MenuNode item{MenuNode::Item, QuotedText(text, pos), 0, {}};
      item.Id = std::stoi(text.substr(text.find(',', pos) + 1));
      open.back()->Children.push_back(item);
    } else if (text.rfind("POPUP ", 0) == 0) {
      std::size_t pos = 0;
      open.back()->Children.push_back({MenuNode::Popup, QuotedText(text, pos), 0, {}});
      last = &open.back()->Children.back();
    }
  }
  return root;
}

MenuNode ExpectedPopup(MenuPlace place, bool japanese) {
  MenuNode popup{MenuNode::Popup, std::string(Text(MenuTitle(place), japanese)), 0, {}};
  if (place == MenuPlace::View) {
    for (MenuPlace sub : {MenuPlace::ViewArrayAll, MenuPlace::ViewArraySelected, MenuPlace::ViewPage}) {
      popup.Children.push_back(ExpectedPopup(sub, japanese));
    }
  }
  for (const int id : MenuLayout(place)) {
    if (id == 0) {
      popup.Children.push_back({MenuNode::Separator, "", 0, {}});
    } else {
      popup.Children.push_back({MenuNode::Item, MenuLabel(id, japanese), id, {}});
    }
  }
  return popup;
}

MenuNode ExpectedMenuBar(const std::string& name, bool japanese) {
  MenuNode bar{MenuNode::Popup, name, 0, {}};
  for (MenuPlace place : {MenuPlace::File, MenuPlace::Edit, MenuPlace::View, MenuPlace::Operation,
                          MenuPlace::Setting, MenuPlace::Help}) {
    bar.Children.push_back(ExpectedPopup(place, japanese));
  }
  return bar;
}

MenuNode ExpectedContextMenu(const std::string& name, bool japanese) {
  MenuNode root{MenuNode::Popup, name, 0, {}};
  root.Children.push_back({MenuNode::Popup, "", 0, {}});
  std::vector<MenuNode*> open{&root.Children.back()};
  for (const ContextMenuItem& item : ContextMenu()) {
    switch (item.Kind) {
      case ContextItemKind::Command:
        open.back()->Children.push_back({MenuNode::Item, MenuLabel(item.CommandId, japanese), item.CommandId, {}});
        break;
      case ContextItemKind::Separator:
        open.back()->Children.push_back({MenuNode::Separator, "", 0, {}});
        break;
      case ContextItemKind::SubmenuBegin:
        open.back()->Children.push_back({MenuNode::Popup, std::string(Text(item.Label, japanese)), 0, {}});
        open.push_back(&open.back()->Children.back());
        break;
      case ContextItemKind::SubmenuEnd:
        open.pop_back();
        break;
    }
  }
  return root;
}

// Compares two menu trees, naming the path to the first difference.
void ExpectSameMenu(const MenuNode& actual, const MenuNode& expected, const std::string& where) {
  EXPECT_EQ(actual.Type, expected.Type) << where;
  EXPECT_EQ(actual.Label, expected.Label) << where;
  EXPECT_EQ(actual.Id, expected.Id) << where << " " << expected.Label;
  ASSERT_EQ(actual.Children.size(), expected.Children.size()) << where << " " << expected.Label;
  for (std::size_t i = 0; i < actual.Children.size(); ++i) {
    ExpectSameMenu(actual.Children[i], expected.Children[i], where + "/" + expected.Label + "[" + std::to_string(i) + "]");
  }
}

TEST(MenuResources, MenuBarsAndContextMenusFollowTheCommandTable) {
  const std::string script = ReadResourceScript();
  ASSERT_FALSE(script.empty());
  struct Case {
    const char* Name;
    bool Japanese;
    bool Context;
  };
  for (const Case c : {Case{"Folvex", true, false}, Case{"FolvexE", false, false}, Case{"CPPOPUP", true, true},
                       Case{"CPPOPUPE", false, true}}) {
    const MenuNode expected = c.Context ? ExpectedContextMenu(c.Name, c.Japanese) : ExpectedMenuBar(c.Name, c.Japanese);
    ExpectSameMenu(MenuResource(script, c.Name), expected, c.Name);
  }
}

TEST(MenuResources, AcceleratorTableMatchesTheCommands) {
  const std::string script = ReadResourceScript();
  std::istringstream lines(script);
  std::string line;
  while (std::getline(lines, line) && Trimmed(line) != "CPACCEL ACCELERATORS") {
  }
  ASSERT_TRUE(static_cast<bool>(lines)) << "no CPACCEL";
  std::vector<std::string> actual;
  while (std::getline(lines, line) && Trimmed(line) != "END") {
    if (Trimmed(line) != "BEGIN") actual.push_back(Trimmed(line));
  }
  std::vector<std::string> expected;
  for (const Accelerator& key : AcceleratorTable()) {
    const std::string id = std::to_string(key.CommandId);
    switch (key.Key) {
      case AcceleratorKey::Letter:
        expected.push_back(std::string("\"") + key.Letter + "\", " + id + ", VIRTKEY, CONTROL");
        break;
      case AcceleratorKey::Delete:
        expected.push_back("VK_DELETE, " + id + ", VIRTKEY");
        break;
      case AcceleratorKey::F1:
        expected.push_back("VK_F1, " + id + ", VIRTKEY");
        break;
    }
  }
  EXPECT_EQ(actual, expected);
}

}  // namespace
}  // namespace folvex
