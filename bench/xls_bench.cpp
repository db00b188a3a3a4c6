// Writing the two-sheet XLS book of a lot of 200,000 devices x 64 items
// through TAVO_XLS, and the same book as XLSX through our streaming
// writer, beside libxlsxwriter writing the same cells as XLSX in the same
// run (its default in-memory mode and its constant-memory mode).
// Reported per writer: value cells put per second, the cells the format
// could hold, the file size and the writer's peak memory (peak resident
// size during the write less the resident size before it). An XLS sheet
// ends at row 65,536, so TAVO_XLS stores only the first 65,512 devices of
// each sheet and counts the rest as dropped; XLSX has room for them all.
// Files go to LOTVUE_BENCH_DIR (default /tmp).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "core/number_text.h"
#include "core/result_file.h"
#include "core/value_text.h"
#include "core/xls_export.h"
#include "core/xls_library.h"
#include "core/xlsx_export.h"
#include "bench/bench_lot.h"
#include "tools/tsd_writer.h"

namespace {

using bench::kDevices;
using bench::kItems;
using bench::OutputFolder;

const lotvue::LotData& Lot() { return bench::Lot("lotvue-xls-bench-200000x64.tsd"); }

// Value cells a two-sheet book of the whole lot puts: per sheet the title,
// the summary, the item table without column 1, and the device table.
long long CellsPut(const lotvue::LotData& lot) {
  const long long head = 1 + static_cast<long long>(lot.headerCells.size()) +
                         static_cast<long long>(lot.itemTable.size()) - lotvue::kItemTableRows;
  return 2 * (head + static_cast<long long>(lot.deviceCells.size()));
}

long long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::size_t n = std::strlen(key);
  while (std::getline(in, line))
    if (line.compare(0, n, key) == 0) return std::atoll(line.c_str() + n);
  return 0;
}

// Peak resident size of the process from now on: the kernel's high-water mark, reset.
struct PeakMemory {
  long long startKb;
  PeakMemory() {
    malloc_trim(0);  // what earlier runs freed goes back, so that reuse of it counts
    std::ofstream("/proc/self/clear_refs") << "5";
    startKb = StatusKb("VmRSS:");
  }
  double PeakMb() const { return (StatusKb("VmHWM:") - startKb) / 1024.0; }
};

long long FileBytes(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

void Report(benchmark::State& state, long long cells, long long stored, long long bytes, double peakMb) {
  state.counters["cells_per_s"] = benchmark::Counter(static_cast<double>(cells * state.iterations()),
                                                     benchmark::Counter::kIsRate);
  state.counters["cells"] = static_cast<double>(cells);
  state.counters["stored_cells"] = static_cast<double>(stored);
  state.counters["file_MB"] = bytes / 1e6;
  state.counters["peak_MB"] = peakMb;
  state.counters["peak_per_file"] = bytes ? peakMb * 1024 * 1024 / bytes : 0;
}

void BM_TavoXls_TwoSheetBook(benchmark::State& state) {
  const lotvue::LotData& lot = Lot();
  const std::string path = lotvue::TwoSheetBookPath(lot.path);
  lotvue::CollectedMessages messages;
  long long dropped = 0;
  double peak = 0;
  for (auto _ : state) {
    PeakMemory memory;
    lotvue::CXlsLibrary lib;
    if (!lib.Load(&messages) || !lotvue::WriteTwoSheetBook(lib, lot, 0, lot.deviceCells.size(), messages))
      state.SkipWithError("the book was not written");
    dropped = lib.XlsGetDroppedCellCount();
    peak = memory.PeakMb();
  }
  const long long cells = CellsPut(lot);
  Report(state, cells, cells - dropped, FileBytes(path), peak);
  ::unlink(path.c_str());
}

// The one-kind books of the same lot: four sheets of at most 65,000
// devices, every cell stored (argument: 1 Data, 0 Scientific).
void BM_TavoXls_OneKindBook(benchmark::State& state) {
  const lotvue::LotData& lot = Lot();
  const int kind = static_cast<int>(state.range(0));
  const std::string path = lotvue::OneKindBookPath(lot.path, kind);
  lotvue::CollectedMessages messages;
  double peak = 0;
  long long dropped = 0;
  for (auto _ : state) {
    PeakMemory memory;
    lotvue::CXlsLibrary lib;
    if (!lib.Load(&messages) || !lotvue::WriteOneKindBook(lib, lot, kind, messages))
      state.SkipWithError("the book was not written");
    dropped = lib.XlsGetDroppedCellCount();
    peak = memory.PeakMb();
  }
  const long long sheets = lotvue::OneKindSheetCount(lot);
  const long long head = 1 + static_cast<long long>(lot.headerCells.size()) +
                         static_cast<long long>(lot.itemTable.size()) - lotvue::kItemTableRows +
                         lot.columns();
  const long long cells = sheets * head + static_cast<long long>(lot.deviceCells.size()) - lot.columns();
  Report(state, cells, cells - dropped, FileBytes(path), peak);
  ::unlink(path.c_str());
}

// The two-sheet XLSX book of the whole lot through our writer: every cell stored.
void BM_Xlsx_TwoSheetBook(benchmark::State& state) {
  const lotvue::LotData& lot = Lot();
  const std::string path = lotvue::TwoSheetXlsxPath(lot.path);
  lotvue::CollectedMessages messages;
  double peak = 0;
  for (auto _ : state) {
    PeakMemory memory;
    if (!lotvue::WriteTwoSheetXlsx(lot, 0, lot.deviceCells.size(), messages))
      state.SkipWithError("the book was not written");
    peak = memory.PeakMb();
  }
  const long long cells = CellsPut(lot);
  Report(state, cells, cells, FileBytes(path), peak);
  ::unlink(path.c_str());
}

// The same cells in the same order through libxlsxwriter, with the same
// formats: font colours 8, 10, 12 and 14 of the XLS palette and the title
// row's fill 11, all in the book's font.
class XlsxBook {
 public:
  XlsxBook(const std::string& path, bool constantMemory) {
    lxw_workbook_options options = {};
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    options.use_zip64 = LXW_TRUE;
    book_ = workbook_new_opt(path.c_str(), &options);
    const lxw_color_t fonts[4] = {0x000000, 0xFF0000, 0x0000FF, 0xFF00FF};
    for (int f = 0; f < 4; ++f)
      for (int fill = 0; fill < 2; ++fill) {
        lxw_format* format = workbook_add_format(book_);
        format_set_font_name(format, lotvue::kXlsDefaultFontName);
        format_set_font_size(format, lotvue::kXlsDefaultFontPoints);
        format_set_font_color(format, fonts[f]);
        if (fill) format_set_bg_color(format, 0x00FF00);
        formats_[f][fill] = format;
      }
  }
  ~XlsxBook() {
    if (book_) workbook_close(book_);
  }
  bool Close() {
    const bool ok = workbook_close(book_) == LXW_NO_ERROR;
    book_ = nullptr;
    return ok;
  }
  void Sheet(const char* name) {
    sheet_ = workbook_add_worksheet(book_, name);
    fillRow_ = -1;
  }
  void Text(int row, int col, std::string_view text, int font = 0) {
    text_.assign(text.data(), text.size());
    worksheet_write_string(sheet_, row, static_cast<lxw_col_t>(col), text_.c_str(), Format(row, font));
  }
  void Number(int row, int col, double v, int font = 0) {
    worksheet_write_number(sheet_, row, static_cast<lxw_col_t>(col), v, Format(row, font));
  }
  void FillRow(int row) { fillRow_ = row; }

 private:
  lxw_format* Format(int row, int font) { return formats_[font][row == fillRow_ ? 1 : 0]; }
  lxw_workbook* book_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  lxw_format* formats_[4][2] = {};
  int fillRow_ = -1;
  std::string text_;
};

int FontOf(lotvue::ColorRef c) {
  switch (lotvue::XlsColorIndex(c)) {
    case 10:
      return 1;
    case 12:
      return 2;
    case 14:
      return 3;
    default:
      return 0;
  }
}

void WriteXlsx(XlsxBook& book, const lotvue::LotData& lot) {
  const int w = lot.columns();
  for (int s = 0; s < 2; ++s) {
    book.Sheet(s == 0 ? "Data" : "Scientific");
    book.Text(0, 0, lotvue::kXlsTitle);
    int r = 1;
    const std::size_t n = lot.headerCells.size();
    for (std::size_t i = 0; i < n; ++i) {
      if (lot.headerCells[i] == "Pass") --r;
      if (i % 2 == 0) {
        book.Text(r, 0, lot.headerCells[i]);
      } else {
        if (i + 5 == n || i + 3 == n)
          book.Number(r, 2, lotvue::AtofC(lot.headerCells[i]));
        else
          book.Text(r, 2, lot.headerCells[i]);
        ++r;
      }
    }
    ++r;
    for (std::size_t k = 0; k < lot.itemTable.size(); ++k) {
      if (lot.itemTable[k] == "Average") --r;
      const int c = static_cast<int>(k % w);
      if (c == 1) continue;
      book.Text(r, c, lot.itemTable[k]);
      if (c == w - 1) ++r;
    }
    book.FillRow(r);
    for (std::size_t k = 0; k < lot.deviceCells.size(); ++k) {
      const int c = static_cast<int>(k % w);
      const int font = FontOf(lot.CellColorRef(k));
      if (s != 0 && c > 1 && k > static_cast<std::size_t>(w))
        book.Number(r, c, lotvue::ScaledValueOf(lot.deviceCells[k]), font);
      else
        book.Text(r, c, lot.deviceCells[k], font);
      if (c == w - 1) ++r;
    }
  }
}

void BM_Libxlsxwriter_TwoSheetBook(benchmark::State& state) {
  const lotvue::LotData& lot = Lot();
  const std::string path = OutputFolder() + "lotvue-xls-bench-200000x64.xlsx";
  double peak = 0;
  for (auto _ : state) {
    PeakMemory memory;
    XlsxBook book(path, state.range(0) != 0);
    WriteXlsx(book, lot);
    if (!book.Close()) state.SkipWithError("the book was not written");
    peak = memory.PeakMb();
  }
  const long long cells = CellsPut(lot);
  Report(state, cells, cells, FileBytes(path), peak);
  ::unlink(path.c_str());
}

BENCHMARK(BM_TavoXls_TwoSheetBook)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_Xlsx_TwoSheetBook)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_TavoXls_OneKindBook)->Arg(1)->Arg(0)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();
// Argument: 0 libxlsxwriter's default mode, 1 its constant-memory mode.
BENCHMARK(BM_Libxlsxwriter_TwoSheetBook)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
