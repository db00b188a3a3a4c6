// Command ids of the menus, the toolbar and the accelerators, and the
// menus and toolbar that carry them.
#pragma once

namespace lotvue {

enum CommandId : int {
  kCmdClose = 32771,
  kCmdConvertAllFiles = 32772,
  kCmdConvertSetup = 32773,
  kCmdOpen = 32787,
  kCmdShowLine = 32790,
  kCmdOnlyPass = 32791,
  kCmdConvertDetail = 32793,
  kCmdConvert = 32794,
  kCmdDeviceQc = 32795,
  kCmdFormat = 32796,
  kCmdLanguage = 32800,
  kCmdNormalDistribution = 32801,
  kCmdConvertScientific = 32803,
  kCmdConvertData = 32806,
  kCmdOnlyShowFail = 32808,
  kCmdConvertStdf = 32810,  // no resource of its own: an addition to the report window's File menu
  kCmdConvertXlsx = 32811,  // the same
  kCmdFind = 32812,         // the report window's View menu: find bar, go to device, filter bar
  kCmdGoToDevice = 32813,
  kCmdFilterBar = 32814,
  kCmdArrangeIcons = 57649,
  kCmdCascade = 57650,
  kCmdTile = 57651,
  kCmdAbout = 57664,
  kCmdExit = 57665,
  kCmdToolBar = 59392,
  kCmdStatusBar = 59393,
};

// Menu resources: 128 while no report window is open, 129 with one.
inline constexpr int kMainMenu = 128;
inline constexpr int kReportMenu = 129;

// Toolbar 128, left to right (a separator between each two).
inline constexpr int kToolbarCommands[] = {
    kCmdOpen,     kCmdConvertScientific, kCmdConvertData, kCmdConvert,     kCmdConvertSetup,
    kCmdDeviceQc, kCmdFormat,            kCmdShowLine,    kCmdOnlyShowFail,
};

}  // namespace lotvue
