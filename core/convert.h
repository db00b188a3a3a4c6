// The conversion of a loaded lot: the two-sheet XLS book and the CSV file,
// each when its type is switched on, and the two-sheet XLSX book when it is
// asked for, for the whole lot or a device range;
// and the one-kind books of "Convert Data" and "Convert Scientific".
#pragma once

#include <functional>
#include <string>

#include "core/app_settings.h"
#include "core/export_messages.h"
#include "core/lot_data.h"

namespace lotvue {

// Which files a conversion wrote completely.
struct ConvertResult {
  bool xlsWritten = false;
  bool csvWritten = false;
  bool xlsxWritten = false;
};

// Converts the lot, devices firstDevice to lastDevice (1-based, both
// inclusive; both negative: the whole lot), in this order:
//  1. binds the spreadsheet library, whatever types are switched on (a
//     missing library shows "Xls.dll no find.");
//  2. ConvertFileTypeXLS == 1: the two-sheet book. When it fails the
//     conversion ends there, without the CSV file. When the library is
//     missing no book is written, and the CSV file still is: the user
//     gets what can be made;
//  3. xlsx: the two-sheet XLSX book (not a setting of the settings file);
//     the CSV file follows whether or not it could be written;
//  4. ConvertFileTypeCSV == 1: the CSV file in the CSVFormat setting; when
//     it cannot be written, the language's "Creat CSV File Error" and the
//     old file stays as it was.
// Callers pass 1 <= firstDevice <= lastDevice <= devices, or both negative.
ConvertResult My_Convert(const LotData& lot, int firstDevice, int lastDevice, const AppSettingsData& settings,
                         ExportMessages& messages, bool xlsx = false);

// My_Convert with the spreadsheet library looked for in another folder.
ConvertResult ConvertWithLibraryFrom(const std::string& libraryFolder, const LotData& lot, int firstDevice,
                                     int lastDevice, const AppSettingsData& settings, ExportMessages& messages,
                                     bool xlsx = false);

// The same check as the Convert Setup dialog's OK: true for
// 1 <= first <= last <= deviceCount.
bool IsValidDeviceRange(int first, int last, int deviceCount);

// "Convert Data" (kind 1) or "Convert Scientific" (kind 0): binds the library
// and writes the one-kind book of the whole lot; progress gets the 1-based
// device row being written. True when the book was written.
bool ConvertOneKindBook(const LotData& lot, int kind, ExportMessages& messages,
                        const std::function<void(int)>& progress = {});

}  // namespace lotvue
