// LanguageTable: the 83 interface texts in English, Simplified Chinese or
// Traditional Chinese (UTF-8), and the language file that keeps the choice.
#pragma once

#include <cstdint>
#include <string>

namespace lotvue {

inline constexpr int kLanguageSlots = 83;

struct LanguageTableData {
  std::int32_t language = 0;                // 0 English, 1 Simplified, 2 Traditional; others kept, English texts
  const char* slots[kLanguageSlots] = {};   // the current texts, UTF-8
};

extern LanguageTableData LanguageTable;

// The current text of a slot ("" before LoadLanguage).
inline const char* Lang(int slot) {
  const char* t = (slot >= 0 && slot < kLanguageSlots) ? LanguageTable.slots[slot] : nullptr;
  return t ? t : "";
}

// Every slot by name, after its English text or its use.
enum LanguageSlot : int {
  // Dialog buttons; title of the Convert All Files file dialog
  kSlotOk = 0,
  kSlotCancel = 1,
  kSlotOpen = 2,

  // Menu titles and items (the number in the comment is the command id)
  kSlotFileMenu = 3,  // menu title
  kSlotOpenItem = 4,  // 32787
  kSlotConvertAllFiles = 5,  // 32772
  kSlotConvertDetail = 6,  // 32793
  kSlotExit = 7,  // 57665
  kSlotClose = 8,  // 32771
  kSlotConvert = 9,  // 32794
  kSlotConvertSetup = 10,  // 32773
  kSlotConvertScientific = 11,  // 32803
  kSlotConvertData = 12,  // 32806
  kSlotViewMenu = 13,  // menu title
  kSlotToolBar = 14,  // 59392
  kSlotStatusBar = 15,  // 59393
  kSlotShowLine = 16,  // 32790
  kSlotOnlyPass = 17,  // 32791
  kSlotFormat = 18,  // 32796
  kSlotToolMenu = 19,  // menu title
  kSlotLanguage = 20,  // 32800
  kSlotDeviceQc = 21,  // 32795
  kSlotOnlyShowFail = 22,  // 32808
  kSlotHelpMenu = 23,  // menu title
  kSlotAbout = 24,  // 57664
  kSlotWindowMenu = 25,  // menu title
  kSlotCascade = 26,  // 57650
  kSlotTile = 27,  // 57651
  kSlotArrangeIcons = 28,  // 57649

  // Language dialog
  kSlotSelectLanguageTitle = 29,
  kSlotEnglish = 30,
  kSlotChinese = 31,
  kSlotTaiwan = 32,

  // View Format dialog
  kSlotViewFormat = 33,
  kSlotPerDevice = 34,
  kSlotMatrix = 35,

  // Device QC dialog
  kSlotScatter = 36,
  kSlotHistogram = 37,
  kSlotAll = 38,
  kSlotPass = 39,
  kSlotManual = 40,
  kSlotShow = 41,
  kSlotNumber = 42,
  kSlotMin = 43,
  kSlotMax = 44,
  kSlotStep = 45,

  // Convert Details dialog
  kSlotFileConvertDetails = 46,
  kSlotFileType = 47,
  kSlotData = 48,
  kSlotScientific = 49,
  kSlotValue = 50,
  kSlotDetailsShowLine = 51,
  kSlotAvgStdevOnlyPass = 52,

  // Kept in the tables, shown nowhere
  kSlotFileConverSetup = 53,
  kSlotSerialNumber = 54,
  kSlotBegin = 55,
  kSlotEnd = 56,
  kSlotManyDevicesWarning = 57,
  kSlotFileName = 58,
  kSlotCreatDirectoryError = 59,

  // Messages
  kSlotIsNotTsdFile = 60,
  kSlotLoadingWait = 61,
  kSlotCallExcelError = 62,
  kSlotSaveSuccessOpen = 63,
  kSlotCreatCsvError = 64,
  kSlotCreatXlsError = 65,
  kSlotInvalidMaxOrMin = 66,
  kSlotInvalidStep = 67,
  kSlotInvalid = 68,
  kSlotItemAllFail = 69,

  // Toolbar tooltips
  kSlotTipOpenFile = 70,
  kSlotTipConvertFile = 71,
  kSlotTipConvertSetup = 72,
  kSlotTipConvertScientific = 73,
  kSlotTipConvertData = 74,
  kSlotTipDeviceQc = 75,
  kSlotTipFormat = 76,
  kSlotTipShowLine = 77,
  kSlotTipShowFail = 78,

  // Progress texts of the report window
  kSlotLoadingData = 79,
  kSlotFormatList = 80,
  kSlotFormatData = 81,
  kSlotConvering = 82,
};

std::string LanguagePath();  // ConfigFolder() + "Language.spec"

// Reads the language file (first "LOTvue=" line wins) and selects the table.
void LoadLanguage();
// The number of the first "LOTvue=" line; 0 without file or line.
int ReadLanguageNumber(const std::string& path);
// Points every slot at the table of the number (other numbers: English).
void SelectLanguageTable(int language);
// The Language dialog's OK: rewrites the language file, then selects the table.
void SaveLanguage(int language);
// Rewrites the file only; false when it could not be written.
bool SaveLanguageTo(const std::string& path, int language);
// The text of a slot in a given table, without changing the current one.
const char* LanguageText(int language, int slot);

}  // namespace lotvue
