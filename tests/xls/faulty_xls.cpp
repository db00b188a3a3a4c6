// A stand-in spreadsheet library that fails on purpose, for the tests of
// the binding's guard: some calls fault or throw, some names are missing.
#include <csignal>
#include <cstdint>
#include <stdexcept>

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int XlsCreateBook(const char*, int, int, int* book) {
  *book = 7;
  return 1;
}
EXPORT int XlsCloseBook(int book) { return book == 7; }
EXPORT int XlsSheetNo(int sheet) { return sheet + 1; }  // a plain result passes through
EXPORT uint32_t POS(int col, int row, int, int) { return static_cast<uint32_t>(row * 1000 + col); }

// The first character of the text picks the failure.
EXPORT int XlsPutStr(const char* text, uint32_t) {
  switch (text[0]) {
    case 'S': {  // SIGSEGV
      volatile int* volatile nowhere = nullptr;
      return *nowhere;
    }
    case 'F': {  // SIGFPE
      volatile int zero = 0;
      return 1 / zero;
    }
    case 'I':  // SIGILL
      __builtin_trap();
    case 'B':  // SIGBUS, sent
      raise(SIGBUS);
      return 1;
    case 'E':  // a C++ exception
      throw std::runtime_error("thrown inside the library");
    default:
      return 2;
  }
}

EXPORT int XlsPutDouble(double value, uint32_t) {
  if (value < 0) throw 42;
  return 3;
}
// XlsPutDefFontName, XlsPutDefFontPoint, XlsGetSheetCount, XlsPutSheetName,
// XlsPutFontColor, XlsPutBackColor and XlsGetDroppedCellCount are missing.
