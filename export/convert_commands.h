// The convert commands of the report window and the main window: Convert
// (F2), Convert Setup (F3), Convert Scientific, Convert Data, Convert to
// XLSX, Convert to STDF, Convert Detail and Convert All Files, and their
// registration with the main window. Messages and questions go through the report window's prompts.
#pragma once

#include "core/app_settings.h"
#include "core/convert.h"

namespace lotvue {

class CLotvueView;
class CMainFrame;
struct LotData;

// Number of devices of a loaded lot: rows of the device table less the title row.
int DeviceCountOf(const LotData& lot);

// The view's conversion (My_Convert on its Lot): XLS and CSV as switched
// on in settings, XLSX when xlsx is true, devices firstDevice..lastDevice
// (both negative: the whole lot). Messages are boxes owned by the view; the wait cursor is
// shown meanwhile.
ConvertResult ViewConvert(CLotvueView& view, int firstDevice, int lastDevice,
                          const AppSettingsData& settings = AppSettings, bool xlsx = false);

// After Convert and Convert Setup: offers to open the XLS file, the XLSX
// book and the CSV file, each when it was asked for and written this time.
void AskOpenConverted(CLotvueView& view, const ConvertResult& result, const AppSettingsData& settings = AppSettings);

// Convert (32794): the whole lot (and A.xlsx when Convert Detail's XLSX
// box is checked), then the offer to open.
void OnConvert(CLotvueView& view);
// Convert Setup (32773): the device range dialog, then as Convert.
void OnConvertSetup(CLotvueView& view);
// Convert Scientific (kind 0) and Convert Data (kind 1): the one-kind book
// of the whole lot, with the "Convering" progress screen while it is
// written (LoadingLot.loadState 3), then the offer to open it. The frame's
// commands follow the busy state when it starts and when it ends.
void ConvertDataOrScientific(CMainFrame& frame, CLotvueView& view, int kind);
// Convert to STDF: the STDF V4 file of the whole lot ("A.stdf"), a message
// when it cannot be written.
void OnConvertToStdf(CLotvueView& view);
// Convert to XLSX: the two-sheet XLSX book of the whole lot ("A.xlsx"), the
// core's message when it cannot be written, else the offer to open it.
void OnConvertToXlsx(CLotvueView& view);
// Convert Detail (32793): the details dialog; on OK every report window repaints.
void OnConvertDetail(CMainFrame& frame);

// Makes the main window run the eight commands (the main window enables
// them), and the report windows convert their file at the hand-over while
// a folder conversion runs. Creates the folder conversion of the frame.
void RegisterExportCommands(CMainFrame& frame);

}  // namespace lotvue
