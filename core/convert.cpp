#include "core/convert.h"

#include "core/csv_export.h"
#include "core/language.h"
#include "core/xls_export.h"
#include "core/xls_library.h"
#include "core/xlsx_export.h"

namespace lotvue {

namespace {

ConvertResult Convert(const std::string* libraryFolder, const LotData& lot, int firstDevice, int lastDevice,
                      const AppSettingsData& settings, ExportMessages& messages, bool xlsx) {
  ConvertResult result;
  CXlsLibrary library;
  const bool libraryLoaded =
      (libraryFolder ? library.LoadFrom(*libraryFolder, &messages) : library.Load(&messages)) == 1;
  const CellRange range = DeviceCellRange(lot, firstDevice, lastDevice);

  if (settings.ConvertFileTypeXLS == 1 && libraryLoaded) {
    if (!WriteTwoSheetBook(library, lot, range.firstCell, range.endCell, messages)) return result;
    result.xlsWritten = true;
  }
  if (xlsx) result.xlsxWritten = WriteTwoSheetXlsx(lot, range.firstCell, range.endCell, messages);
  if (settings.ConvertFileTypeCSV == 1) {
    int error = 0;
    const std::string path = CsvPathOf(lot.path);
    if (WriteCsvFile(path, lot, range.firstCell, range.endCell, CsvFormatOf(settings.CSVFormat), &error)) {
      result.csvWritten = true;
    } else {
      messages.WriteFailed(Lang(kSlotCreatCsvError), path, error);
    }
  }
  return result;
}

}  // namespace

ConvertResult My_Convert(const LotData& lot, int firstDevice, int lastDevice, const AppSettingsData& settings,
                         ExportMessages& messages, bool xlsx) {
  return Convert(nullptr, lot, firstDevice, lastDevice, settings, messages, xlsx);
}

ConvertResult ConvertWithLibraryFrom(const std::string& libraryFolder, const LotData& lot, int firstDevice,
                                     int lastDevice, const AppSettingsData& settings, ExportMessages& messages,
                                     bool xlsx) {
  return Convert(&libraryFolder, lot, firstDevice, lastDevice, settings, messages, xlsx);
}

bool IsValidDeviceRange(int first, int last, int deviceCount) {
  if (last > deviceCount) return false;
  return first > 0 && first <= last;
}

bool ConvertOneKindBook(const LotData& lot, int kind, ExportMessages& messages,
                        const std::function<void(int)>& progress) {
  CXlsLibrary library;
  if (library.Load(&messages) != 1) return false;
  return WriteOneKindBook(library, lot, kind, messages, progress ? progress : [](int) {});
}

}  // namespace lotvue
