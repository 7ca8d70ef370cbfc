#include "app/commands/command_table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace folvex {
namespace {

constexpr MenuPlace kPlaces[] = {MenuPlace::File,     MenuPlace::Edit,      MenuPlace::View,
                                 MenuPlace::ViewArrayAll, MenuPlace::ViewArraySelected, MenuPlace::ViewPage,
                                 MenuPlace::Operation, MenuPlace::Setting,  MenuPlace::Help};

TEST(CommandTable, EveryMenuCommandHasOnePlaceLabelAndHelpText) {
  std::set<int> ids;
  for (const CommandInfo& command : CommandTable()) {
    EXPECT_TRUE(ids.insert(command.Id).second) << command.Id;
    EXPECT_FALSE(MenuLabel(command.Id, false).empty()) << command.Id;
    EXPECT_FALSE(MenuLabel(command.Id, true).empty()) << command.Id;
    EXPECT_FALSE(HelpText(command.Id, false).empty()) << command.Id;
    EXPECT_FALSE(HelpText(command.Id, true).empty()) << command.Id;
  }
  EXPECT_EQ(ids.size(), 30u);

  // Each command stands in the layout of its own menu exactly once; the split items are appended
  // to the Operation menu at run time.
  std::multiset<int> laidOut;
  for (const MenuPlace place : kPlaces) {
    for (const int id : MenuLayout(place)) {
      if (id == 0) continue;
      laidOut.insert(id);
      ASSERT_NE(FindCommand(id), nullptr) << id;
      EXPECT_EQ(FindCommand(id)->Menu, place) << id;
    }
  }
  for (const CommandInfo& command : CommandTable()) {
    EXPECT_EQ(laidOut.count(command.Id), command.SplitterOnly ? 0u : 1u) << command.Id;
  }
  EXPECT_EQ(MenuLayout(MenuPlace::Operation).size(), 7u) << "the split items start at position 7";
  EXPECT_EQ(MenuLabel(kCmdDrop, false), "") << "not a menu command";
}

TEST(CommandTable, LabelsAndHelpTextsWordForWord) {
  struct Case {
    int Id;
    const char* English;
    const char* Japanese;
    const char* HelpEnglish;
    const char* HelpJapanese;
  };
  for (const Case& c : {
           Case{kCmdOpen, "&Open\tCtrl+O", "開く(&O)\tCtrl+O", "Open PDF File",
                "PDFファイルに関連付けられたアプリケーションでファイルを開きます"},
           Case{kCmdMergeAll, "&Merge-All Files", "結合－全ファイル(&M)", "Merge All Files", "すべてのファイルを表示順に結合します"},
           Case{kCmdArrayDateSelect, "&Date", "日付順(&D)", "Array - Selected Files - File Time Stamp",
                "選択ファイルを日付名順に並べ替えます"},
           Case{kCmdSplitAll, "Split(Tomlet)-&All Pages", "Tomletで全ページ分解(&A)",
                "Split into Sigle Pages (Tomlet) - All Pages", "選択ファイルをTomletで全ページ分解します"},
           Case{kCmdHelp, "&Help\tF1", "ヘルプを読む(&H)\tF1", "View Help File", "ヘルプファイルを表示します"},
           Case{kCmdUpdate, "Up&date", "最新の日付に更新(&D)", "Update All Files' Time Stamp",
                "すべてのファイルの日付を最新の日付に更新します"},
       }) {
    EXPECT_EQ(MenuLabel(c.Id, false), c.English);
    EXPECT_EQ(MenuLabel(c.Id, true), c.Japanese);
    EXPECT_EQ(HelpText(c.Id, false), c.HelpEnglish);
    EXPECT_EQ(HelpText(c.Id, true), c.HelpJapanese);
  }
  EXPECT_EQ(Text(MenuTitle(MenuPlace::ViewArraySelected), false), "Array-&Selected Files");
  EXPECT_EQ(Text(MenuTitle(MenuPlace::ViewArrayAll), true), "整列－全ファイル(&R)");
}

TEST(CommandTable, ToolbarOrderSeparatorsAndTooltips) {
  std::vector<int> ids;
  std::vector<int> separatorPositions;  // positions of the separators once inserted among the buttons
  int position = 0;
  int image = 0;
  for (const ToolbarButton& button : ToolbarButtons()) {
    if (button.SeparatorBefore) separatorPositions.push_back(position++);
    ++position;
    ids.push_back(button.CommandId);
    EXPECT_EQ(button.Image, image++);
    EXPECT_EQ(button.SplitterOnly, button.CommandId == kCmdSplitAll || button.CommandId == kCmdSplitPageInput);
  }
  EXPECT_EQ(ids, (std::vector<int>{kCmdUndo, kCmdRedo, kCmdExtract, kCmdMergeAll, kCmdMergeSelect, kCmdSetSecurity,
                                   kCmdRemoveSecurity, kCmdSplitAll, kCmdSplitPageInput}));
  EXPECT_EQ(separatorPositions, (std::vector<int>{0, 3, 5, 8, 11}));

  const std::map<int, std::pair<std::string, std::string>> tips = {
      {kCmdExtract, {"Extract", "ページ抽出"}},
      {kCmdMergeAll, {"Merge-All", "全ファイル結合"}},
      {kCmdMergeSelect, {"Merge-Selected", "選択ファイル結合"}},
      {kCmdSetSecurity, {"Set Security", "セキュリティ設定"}},
      {kCmdRemoveSecurity, {"Remove Security", "セキュリティ解除"}},
      {kCmdSplitAll, {"Split(Tomlet)-All Pages", "Tomletで全ページ分解"}},
      {kCmdSplitPageInput, {"Split(Tomlet)-Page Input", "Tomletでページ指定分解"}},
      {kCmdUndo, {"", ""}},
      {kCmdRedo, {"", ""}},
  };
  for (const auto& [id, tip] : tips) {
    EXPECT_EQ(ToolbarTooltip(id, false), tip.first) << id;
    EXPECT_EQ(ToolbarTooltip(id, true), tip.second) << id;
  }
}

TEST(CommandTable, AcceleratorsAndContextMenu) {
  std::map<std::string, int> keys;
  for (const Accelerator& accelerator : AcceleratorTable()) {
    std::string key = accelerator.Key == AcceleratorKey::Delete ? "Delete"
                      : accelerator.Key == AcceleratorKey::F1   ? "F1"
                                                                : std::string("Ctrl+") + accelerator.Letter;
    keys[key] = accelerator.CommandId;
  }
  EXPECT_EQ(keys, (std::map<std::string, int>{{"Ctrl+O", 1105}, {"Ctrl+E", 1120}, {"Ctrl+Z", 1130}, {"Ctrl+Y", 1140},
                                              {"Delete", 1155}, {"Ctrl+A", 1165}, {"F1", 1290}}));

  std::string menu;
  for (const ContextMenuItem& item : ContextMenu()) {
    switch (item.Kind) {
      case ContextItemKind::Command:
        menu += std::to_string(item.CommandId) + " ";
        break;
      case ContextItemKind::Separator:
        menu += "- ";
        break;
      case ContextItemKind::SubmenuBegin:
        menu += std::string(Text(item.Label, true)) + " [ ";
        break;
      case ContextItemKind::SubmenuEnd:
        menu += "] ";
        break;
    }
  }
  EXPECT_EQ(menu, "1100 - 1170 - 1150 1160 - ページ数表示(&P) [ 1310 1320 ] - 1240 ");
}

}  // namespace
}  // namespace folvex
