// The XLS workbooks of a loaded lot, written cell by cell through the
// spreadsheet library binding: the two-sheet book of a conversion ("Data"
// with every cell as text, "Scientific" with the device values as numbers)
// and the one-kind books of "Convert Data" and "Convert Scientific"
// (sheets "1", "2", ... of at most 65000 devices). Both share one sheet
// head: the title, the lot summary, the item table and the device title
// row on background colour 11.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/cell_table.h"
#include "core/export_messages.h"
#include "core/lot_data.h"
#include "core/xls_library.h"

namespace lotvue {

inline constexpr const char* kXlsTitle = "TAVO Test System VXT-5000";
inline constexpr const char* kXlsDefaultFontName = "宋体";  // SimSun, as UTF-8
inline constexpr double kXlsDefaultFontPoints = 10.0;
inline constexpr int kTitleRowBackColor = 11;
inline constexpr int kDevicesPerSheet = 65000;

// One-kind book kinds (the commands' argument).
inline constexpr int kKindScientific = 0;
inline constexpr int kKindData = 1;

// Palette index of a cell text colour: black 8, red 10, blue 12, magenta 14, others 8.
int XlsColorIndex(ColorRef color);

// The lot's path without its last three characters, followed by "XLS".
std::string TwoSheetBookPath(const std::string& lotPath);
// Without its last four characters, followed by "_Data" (kind 1) or
// "_Scientific" (kind 0), and ".XLS".
std::string OneKindBookPath(const std::string& lotPath, int kind);

// Number of sheets of the one-kind book: rows of the device table (title
// row included) div 65000, plus one.
int OneKindSheetCount(const LotData& lot);

// What a sheet of a book format holds.
struct SheetLimits {
  long long rows;
  long long columns;
  const char* format;
};
inline constexpr SheetLimits kXlsSheetLimits{65536, 256, "XLS"};

// The message shown after a book that could not hold every cell.
std::string DroppedCellsMessage(const std::string& bookPath, long long cells,
                                const SheetLimits& limits = kXlsSheetLimits);

// The two-sheet book of a conversion for the device cells [firstCell,
// endCell), in place of any old book of that name, which stays as it was
// until the new one is complete. Messages (WriteFailed): the language's XLS
// error with "(My_Convert)(0)" when an existing book cannot be replaced
// (a folder, read-only, or its folder refuses changes), with
// "(My_Convert)(1)" when the library cannot create or write it; after a
// book that could not hold every cell, how many it left out
// (CellsLeftOut). True when the book was written.
// Without a loaded library nothing happens (its loading told the user).
bool WriteTwoSheetBook(CXlsLibrary& lib, const LotData& lot, std::size_t firstCell, std::size_t endCell,
                       ExportMessages& messages);

// The one-kind book of the whole lot (kind 1 texts, kind 0 numbers);
// progress gets the 1-based device row at the start of every device row.
// Same messages and result as WriteTwoSheetBook. The caller marks the busy
// state (ConvertingState).
bool WriteOneKindBook(CXlsLibrary& lib, const LotData& lot, int kind, ExportMessages& messages,
                      const std::function<void(int row)>& progress = {});

// Holds LoadingLot.loadState at 3 (converting) for its lifetime and sets it
// back to 0 on every way out.
class ConvertingState {
 public:
  explicit ConvertingState(LotData& lot = LoadingLot) : lot_(lot) { lot_.loadState = kConverting; }
  ~ConvertingState() { lot_.loadState = kIdle; }
  ConvertingState(const ConvertingState&) = delete;
  ConvertingState& operator=(const ConvertingState&) = delete;

 private:
  LotData& lot_;
};

}  // namespace lotvue
