// The texts of the report window's find, go-to and filter bars and of
// their menu commands in the three interface languages, kept apart from the
// 83 slots of LanguageTable and chosen by its language number (English for
// numbers other than 1 and 2).
#pragma once

namespace lotvue {

enum GridText : int {
  // Commands of the View menu
  kGtFindCommand,
  kGtGoToCommand,
  kGtFilterBarCommand,
  // Find bar
  kGtFind,
  kGtNext,
  kGtPrevious,
  kGtNotFound,
  // Go-to bar
  kGtGoTo,
  kGtPosition,
  kGtSerial,
  kGtGo,
  kGtNoPosition,  // followed by the position typed
  kGtNoSerial,    // followed by the serial typed
  kGtHidden,      // followed by the device's serial
  kGtNotANumber,
  // Filter bar
  kGtShow,
  kGtAllDevices,
  kGtFailedOnly,
  kGtPassedOnly,
  kGtOneBin,
  kGtColumnContains,
  kGtApply,
  // Status bar: %1 shown, %2 devices, %1 the sort column's title
  kGtRowsShown,
  kGtSortedBy,
  kGtDescending,
  kGtTextCount
};

// The text in the current language (LanguageTable.language), UTF-8.
const char* GridTextOf(GridText text);
// The text in a given language.
const char* GridTextIn(int language, GridText text);

}  // namespace lotvue
