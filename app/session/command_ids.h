// The numbers of the program's commands (WM_COMMAND ids of the menus, the toolbar, the
// accelerators and the program itself).
#pragma once

namespace folvex {

constexpr int kCmdSplitterNotify = 999;
constexpr int kCmdOpen = 1100;
constexpr int kCmdOpenKey = 1105;  // accelerator only, not subject to menu enabling
constexpr int kCmdListFromFolder = 1110;
constexpr int kCmdExit = 1120;
constexpr int kCmdUndo = 1130;
constexpr int kCmdRedo = 1140;
constexpr int kCmdDelete = 1150;
constexpr int kCmdDeleteKey = 1155;  // accelerator only
constexpr int kCmdSelectAll = 1160;
constexpr int kCmdSelectAllKey = 1165;  // accelerator only
constexpr int kCmdEditFileName = 1170;
constexpr int kCmdArrayPathAll = 1180;
constexpr int kCmdArrayFileAll = 1190;
constexpr int kCmdArrayDateAll = 1200;
constexpr int kCmdArrayPathSelect = 1210;
constexpr int kCmdArrayFileSelect = 1220;
constexpr int kCmdArrayFileSelectQuiet = 1225;  // name sort of new rows, no history step
constexpr int kCmdArrayDateSelect = 1230;
constexpr int kCmdUpdate = 1240;
constexpr int kCmdExtract = 1250;
constexpr int kCmdMergeAll = 1260;
constexpr int kCmdMergeSelect = 1270;
constexpr int kCmdGeneralSetting = 1280;
constexpr int kCmdHelp = 1290;
constexpr int kCmdAbout = 1300;
constexpr int kCmdPageAll = 1310;
constexpr int kCmdPageSelect = 1320;
constexpr int kCmdPageSelectForExtract = 1325;  // counts the selected rows, commits an "(Extract)" step
constexpr int kCmdArrayPageAll = 1330;
constexpr int kCmdArrayPageSelect = 1340;
constexpr int kCmdSplitAll = 1350;
constexpr int kCmdSplitPageInput = 1360;
constexpr int kCmdFileSetting = 1370;
constexpr int kCmdDrop = 1400;
constexpr int kCmdDrag = 1410;
constexpr int kCmdNothing = 1420;  // the history's "nothing to undo or redo" label
constexpr int kCmdSetSecurity = 1450;
constexpr int kCmdRemoveSecurity = 1460;

}  // namespace folvex
