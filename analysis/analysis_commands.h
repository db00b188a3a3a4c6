// The report window's commands of the analysis dialogs, and their
// registration with the main window.
#pragma once

class QWidget;

namespace lotvue {

struct LotData;
class CMainFrame;
class UserPrompts;

// DeviceQC (32795): the Device QC dialog on a copy of the lot.
void OnDeviceQc(const LotData& lot, UserPrompts& prompts, QWidget* parent);
// Only Show Fail (32808): rebuilds failRows from the lot and lists them.
void OnOnlyShowFail(const LotData& lot, UserPrompts& prompts, QWidget* parent);

// Makes the main window run the two commands on its active report window
// (the main window enables them only while no file is loading), and the
// "正态分布图" command (32801), which opens the item statistics window of the
// active report window (ShowItemStatsWindow) at any time.
void RegisterAnalysisCommands(CMainFrame& frame);

}  // namespace lotvue
