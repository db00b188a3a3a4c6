// The library's entry points: the one open book, the position packing of
// POS, and the rule that nothing escapes to the caller (every failure,
// out of memory included, is a 0 result).
#include "xls/tavo_xls.h"

#include <cerrno>
#include <memory>
#include <new>
#include <string_view>

#include "xls/workbook.h"

namespace {

using tavo_xls::Position;
using tavo_xls::Workbook;

// Each thread has its own open book, so that threads write books side by
// side. A plain pointer: a thread-local object with a destructor would
// leave a call into this library for the thread's end, after it may have
// been unloaded.
thread_local Workbook* g_book = nullptr;
thread_local int g_bookHandle = 0;
thread_local int g_lastHandle = 0;
thread_local long long g_dropped = 0;  // of the book written last
thread_local int g_error = 0;          // errno of the last failed book call

constexpr std::uint32_t kDroppedMarker = 0x00FF0000u;  // first column 255, last column 0

std::uint32_t DroppedPosition(long long cells) {
  if (cells < 1) cells = 1;
  if (cells > 0xFFFF) cells = 0xFFFF;
  return kDroppedMarker | static_cast<std::uint32_t>(cells);
}

Position Decode(std::uint32_t pos) {
  Position p;
  p.firstCol = XLS_POS_FIRST_COL(pos);
  p.lastCol = XLS_POS_LAST_COL(pos);
  p.row = XLS_POS_ROW(pos);
  if (p.lastCol < p.firstCol) {
    p.dropped = true;
    p.cells = p.row;
  }
  return p;
}

// Runs a call on the open book; 0 when there is none or anything fails.
template <class Fn>
int WithBook(Fn&& fn) {
  if (!g_book) return 0;
  try {
    return fn(*g_book) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

std::string_view Text(const char* s) { return s ? std::string_view(s) : std::string_view(); }

void DiscardBook() {
  delete g_book;  // removes the work file when it is still there
  g_book = nullptr;
}

// A book left open when the library is unloaded leaves no file behind.
__attribute__((destructor)) void DiscardOpenBook() { DiscardBook(); }

}  // namespace

extern "C" {

int XlsCreateBook(const char* fileName, int /*creationArg*/, int sheetCount, int* book) {
  g_error = EINVAL;
  if (g_book || !fileName || !*fileName || sheetCount < 1 || sheetCount > 0xFFFF) return 0;
  try {
    auto b = std::make_unique<Workbook>(fileName, sheetCount);
    if (!b->Open()) {
      g_error = b->error();
      return 0;
    }
    g_error = 0;
    g_book = b.release();
    g_dropped = 0;
    g_bookHandle = ++g_lastHandle;
    if (g_bookHandle <= 0) g_bookHandle = g_lastHandle = 1;
    if (book) *book = g_bookHandle;
    return 1;
  } catch (...) {
    DiscardBook();
    g_error = ENOMEM;
    return 0;
  }
}

int XlsCloseBook(int book) {
  g_error = EINVAL;
  if (!g_book || book != g_bookHandle) return 0;
  bool ok = false;
  try {
    ok = g_book->Close();
    g_error = ok ? 0 : g_book->error();
  } catch (...) {
    ok = false;
    g_error = ENOMEM;
  }
  if (!ok && g_error == 0) g_error = EIO;
  g_dropped = g_book->dropped();
  DiscardBook();
  g_bookHandle = 0;
  return ok ? 1 : 0;
}

int XlsPutDefFontName(const char* name) {
  return WithBook([&](Workbook& b) {
    b.SetFontName(Text(name));
    return true;
  });
}

int XlsPutDefFontPoint(double points) {
  return WithBook([&](Workbook& b) {
    b.SetFontPoints(points);
    return true;
  });
}

int XlsGetSheetCount(void) { return g_book ? g_book->sheetCount() : 0; }

int XlsSheetNo(int sheet) {
  return WithBook([&](Workbook& b) { return b.SelectSheet(sheet); });
}

int XlsPutSheetName(const char* name) {
  return WithBook([&](Workbook& b) {
    b.NameSheet(Text(name));
    return true;
  });
}

uint32_t POS(int firstCol, int firstRow, int lastCol, int lastRow) {
  if (lastCol == -1 && lastRow == -1) {
    lastCol = firstCol;
    lastRow = firstRow;
  }
  const long long cols = static_cast<long long>(lastCol) - firstCol + 1;
  const long long rows = static_cast<long long>(lastRow) - firstRow + 1;
  if (firstCol < 0 || firstRow < 0 || cols < 1 || rows < 1) return DroppedPosition(1);
  // Blocks are one row; a block of several rows cannot be packed.
  if (rows != 1 || firstRow >= XLS_MAX_ROWS || firstCol >= XLS_MAX_COLS) return DroppedPosition(cols * rows);
  if (lastCol >= XLS_MAX_COLS) lastCol = XLS_MAX_COLS - 1;  // the part of the block that exists
  return static_cast<std::uint32_t>(firstRow) | (static_cast<std::uint32_t>(firstCol) << 16) |
         (static_cast<std::uint32_t>(lastCol) << 24);
}

int XlsPutStr(const char* text, uint32_t pos) {
  return WithBook([&](Workbook& b) { return b.PutText(Text(text), Decode(pos)); });
}

int XlsPutDouble(double value, uint32_t pos) {
  return WithBook([&](Workbook& b) { return b.PutNumber(value, Decode(pos)); });
}

int XlsPutFontColor(int colorIndex, uint32_t pos) {
  return WithBook([&](Workbook& b) { return b.PutFontColor(colorIndex, Decode(pos)); });
}

int XlsPutBackColor(int colorIndex, uint32_t pos) {
  return WithBook([&](Workbook& b) { return b.PutBackColor(colorIndex, Decode(pos)); });
}

long long XlsGetDroppedCellCount(void) { return g_book ? g_book->dropped() : g_dropped; }

int XlsGetLastError(void) { return g_error; }

}  // extern "C"
