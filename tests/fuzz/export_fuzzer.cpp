// libFuzzer target: any bytes as a result file, then every export of the
// lot: the CSV file in its three formats (whole and a range), the fail CSV,
// and both XLS books written through the spreadsheet library. Nothing may
// crash or leak, and every book must hold a value exactly where the sheet
// layout puts one. (The CSV cells are proven for every text a cell can hold
// by CsvExport.FastCellsFollowTheRoutines, whole lots and ranges by
// CsvExport.WholeLotAndPartialRanges.)
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/csv_export.h"
#include "core/fail_list.h"
#include "core/result_file.h"
#include "core/xls_export.h"
#include "core/xls_library.h"

namespace {

using namespace lotvue;

void Check(bool ok) {
  if (!ok) std::abort();
}

// ---- XLS: where a sheet holds values, as the layout says and as the file says.

using Cells = std::unordered_map<std::uint32_t, bool>;  // row << 8 | column -> holds a value

std::uint32_t At(int row, int col) { return static_cast<std::uint32_t>(row) << 8 | static_cast<std::uint32_t>(col); }

bool HasText(std::string_view t) { return !t.empty() && t[0] != '\0'; }  // the library takes C strings

void Put(Cells& cells, int col, int row, bool value) {
  if (row >= 0 && row < 65536 && col >= 0 && col < 256) cells[At(row, col)] = value;
}

// The sheet head; returns the row of the device title row.
int Head(const LotData& lot, Cells& cells) {
  Put(cells, 0, 0, true);
  int r = 1;
  const std::size_t n = lot.headerCells.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (lot.headerCells[i] == "Pass") --r;
    if (i % 2 == 0) {
      Put(cells, 0, r, HasText(lot.headerCells[i]));
    } else {
      Put(cells, 2, r, i + 5 == n || i + 3 == n || HasText(lot.headerCells[i]));
      ++r;
    }
  }
  ++r;
  const int w = lot.columns();
  for (std::size_t k = 0; k < lot.itemTable.size(); ++k) {
    if (lot.itemTable[k] == "Average") --r;
    const int c = static_cast<int>(k % static_cast<std::size_t>(w));
    if (c == 1) continue;
    Put(cells, c, r, HasText(lot.itemTable[k]));
    if (c == w - 1) ++r;
  }
  return r;
}

void Devices(const LotData& lot, Cells& cells, int row, std::size_t begin, std::size_t end, bool numbers) {
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  for (std::size_t k = begin; k < end; ++k) {
    const std::size_t c = k % w;
    const bool number = numbers && c >= 2 && k > w;
    Put(cells, static_cast<int>(c), row + static_cast<int>((k - begin) / w), number || HasText(lot.deviceCells[k]));
  }
}

std::uint16_t U16(const std::string& b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8));
}

// The cell records of each of the sheets of a book we wrote: its workbook
// stream starts at sector 0 and runs on contiguously to the last sheet's EOF.
std::vector<Cells> ReadBook(const std::string& path, std::size_t sheets) {
  std::ifstream in(path, std::ios::binary);
  const std::string b((std::istreambuf_iterator<char>(in)), {});
  std::vector<Cells> cells;
  for (std::size_t at = 512;;) {
    Check(at + 4 <= b.size());
    const std::uint16_t type = U16(b, at), size = U16(b, at + 2);
    Check(at + 4 + size <= b.size());
    if (type == 0x0809) {  // BOF: the globals, then one per sheet
      cells.emplace_back();
    } else if (type == 0x00FD || type == 0x0203 || type == 0x0201) {  // LABELSST, NUMBER, BLANK
      Check(size >= 6 && cells.size() > 1);
      cells.back()[At(U16(b, at + 4), U16(b, at + 6))] = type != 0x0201;
    } else if (type == 0x000A && cells.size() == sheets + 1) {  // EOF of the last sheet
      break;
    }
    at += 4 + size;
  }
  cells.erase(cells.begin());
  return cells;
}

// The same cells hold values (cells without one may or may not have a record).
bool SameValues(const Cells& expected, const Cells& actual) {
  std::size_t values = 0;
  for (const auto& [pos, value] : expected) {
    if (!value) continue;
    ++values;
    const auto it = actual.find(pos);
    if (it == actual.end() || !it->second) return false;
  }
  for (const auto& [pos, value] : actual) values -= value ? 1 : 0;
  return values == 0;
}

CXlsLibrary& Library() {
  static CXlsLibrary lib;
  static const bool loaded = lib.Load() == 1;  // beside the executable
  Check(loaded);
  return lib;
}

// A folder of our own on a memory file system where there is one, removed at exit.
const std::string& Folder() {
  static const struct Own {
    std::string path = (std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp") + std::string("/lotvue-export-fuzz-") +
                       std::to_string(::getpid());
    Own() { std::filesystem::create_directories(path); }
    ~Own() { std::filesystem::remove_all(path); }
  } folder;
  return folder.path;
}

void CheckBooks(LotData& lot) {
  CXlsLibrary& lib = Library();
  lot.path = Folder() + "/A.tsd";
  CollectedMessages messages;
  // A message after a written book only ever says that cells were left out.
  const auto written = [&](bool ok) {
    Check(!ok || messages.texts.empty() || lib.XlsGetDroppedCellCount() > 0);
    messages.texts.clear();
    return ok;
  };
  const std::size_t size = lot.deviceCells.size();
  if (written(WriteTwoSheetBook(lib, lot, 0, size, messages))) {
    const std::vector<Cells> book = ReadBook(TwoSheetBookPath(lot.path), 2);
    for (int s = 0; s < 2; ++s) {
      Cells expected;
      Devices(lot, expected, Head(lot, expected), 0, size, s == 1);
      Check(SameValues(expected, book[static_cast<std::size_t>(s)]));
    }
  }
  if (written(WriteOneKindBook(lib, lot, kKindData, messages))) {
    const std::vector<Cells> book = ReadBook(OneKindBookPath(lot.path, kKindData), static_cast<std::size_t>(OneKindSheetCount(lot)));
    const std::size_t w = static_cast<std::size_t>(lot.columns());
    for (std::size_t s = 0; s < book.size(); ++s) {
      Cells expected;
      const int title = Head(lot, expected);
      Devices(lot, expected, title, 0, w, false);
      const std::size_t begin = w + w * kDevicesPerSheet * s;
      Devices(lot, expected, title + 1, begin, std::min(size, begin + w * kDevicesPerSheet), false);
      Check(SameValues(expected, book[s]));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LotData lot;
  lot.path = "/fuzz/A.tsd";
  ResultFileSource source;
  source.OpenMemory(data, size);
  SilentReaderEvents events;
  const ReadOptions options{size % 2 == 0};
  if (!ReadHeaderAndItems(source, lot, options, events)) return 0;
  ReadDeviceRecords(source, lot, options, events);

  const int devices = DeviceRowCount(lot);
  const int first = devices > 0 ? 1 + static_cast<int>(size % static_cast<std::size_t>(devices)) : 1;
  const CellRange range = DeviceCellRange(lot, first, std::min(devices, first + 2));
  for (CsvFormat format : {CsvFormat::kData, CsvFormat::kScientific, CsvFormat::kValue}) {
    Check(CsvText(lot, 0, lot.deviceCells.size(), format).rfind("TAVO Test System VXT-5000\r\n", 0) == 0);
    if (devices > 0) Check(CsvText(lot, range.firstCell, range.endCell, format).rfind("TAVO", 0) == 0);
  }

  const CellTable fails = FailRowsOf(lot);
  Check(fails.rows() == (lot.deviceCells.rows() > 0 ? static_cast<std::size_t>(lot.failCount) + 1 : 0));
  const std::string failCsv = FailCsvText(fails);
  Check(failCsv.empty() || failCsv.rfind("Number,", 0) == 0);

  CheckBooks(lot);
  return 0;
}
