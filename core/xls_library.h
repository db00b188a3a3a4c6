// CXlsLibrary: the binding of the spreadsheet writer library, which the
// program loads at run time from the folder of its executable
// (TAVO_XLS.so, else XlsCrt2.so). One binding lives for one conversion:
// Load finds the library and its entry points, the destructor unloads it.
//
// Every call other than XlsCreateBook and XlsCloseBook runs under a guard:
// a fault inside the library (SIGSEGV, SIGBUS, SIGFPE, SIGILL) or a C++
// exception thrown out of it makes the call return 0 instead of ending the
// program. The guard works with sigsetjmp/siglongjmp: while a loaded
// binding exists, a handler for those signals is installed (and the
// previous handlers are put back when the last binding goes). Each guarded
// call records a jump point for its thread; a fault on a thread inside a
// guarded call jumps back there; a fault anywhere else gets the previous
// handler, exactly as if ours were not there. What the library had half
// done when it faulted is lost, and its further calls may fail too; the
// conversions only look at the results of the two book calls.
//
// An entry point the library does not have is never called: its wrapper
// returns 0.
#pragma once

#include <cstdint>
#include <string>

#include "core/export_messages.h"
#include "xls/tavo_xls.h"

namespace lotvue {

inline constexpr const char* kXlsLibraryFile = "TAVO_XLS.so";
inline constexpr const char* kXlsFallbackLibraryFile = "XlsCrt2.so";
inline constexpr const char* kXlsMissingMessage = "Xls.dll no find.";
inline constexpr std::int32_t kXlsCreationArgument = 2000;

class CXlsLibrary {
 public:
  CXlsLibrary();
  virtual ~CXlsLibrary();
  CXlsLibrary(const CXlsLibrary&) = delete;
  CXlsLibrary& operator=(const CXlsLibrary&) = delete;

  // Loads the library beside the executable: 1 when loaded. When neither
  // file can be loaded, shows "Xls.dll no find." (when messages is given)
  // and returns 0. Entry points the library lacks stay unbound, silently.
  int Load(ExportMessages* messages = nullptr);
  // The same with another folder (with or without its trailing "/").
  int LoadFrom(const std::string& folder, ExportMessages* messages = nullptr);

  bool IsLoaded() const { return module_ != nullptr; }
  // Both book calls are there, so a book can be written at all.
  bool CanWriteBooks() const { return createBook_ && closeBook_; }
  std::int32_t creationArgument() const { return creationArgument_; }

  // The entry points. 0 when the entry point is missing, when the library
  // faulted during the call, or when the library itself answered 0.
  int XlsCreateBook(const char* fileName, int creationArg, int sheetCount, int* book);
  int XlsCloseBook(int book);
  int XlsPutDefFontName(const char* name);
  int XlsPutDefFontPoint(double points);
  int XlsGetSheetCount();
  int XlsSheetNo(int sheet);
  int XlsPutSheetName(const char* name);
  std::uint32_t POS(int firstCol, int firstRow, int lastCol, int lastRow);
  int XlsPutStr(const char* text, std::uint32_t pos);
  int XlsPutDouble(double value, std::uint32_t pos);
  int XlsPutFontColor(int colorIndex, std::uint32_t pos);
  int XlsPutBackColor(int colorIndex, std::uint32_t pos);
  // Values the book could not hold (cells beyond the sheet's limits).
  long long XlsGetDroppedCellCount();
  // The system's reason for the last failed book call (0 when unknown).
  int XlsGetLastError();

 private:
  void Unload();

  void* module_ = nullptr;
  std::int32_t creationArgument_;
  decltype(&::XlsCreateBook) createBook_ = nullptr;
  decltype(&::XlsCloseBook) closeBook_ = nullptr;
  decltype(&::XlsPutDefFontName) putDefFontName_ = nullptr;
  decltype(&::XlsPutDefFontPoint) putDefFontPoint_ = nullptr;
  decltype(&::XlsGetSheetCount) getSheetCount_ = nullptr;
  decltype(&::XlsSheetNo) sheetNo_ = nullptr;
  decltype(&::XlsPutSheetName) putSheetName_ = nullptr;
  decltype(&::POS) pos_ = nullptr;
  decltype(&::XlsPutStr) putStr_ = nullptr;
  decltype(&::XlsPutDouble) putDouble_ = nullptr;
  decltype(&::XlsPutFontColor) putFontColor_ = nullptr;
  decltype(&::XlsPutBackColor) putBackColor_ = nullptr;
  decltype(&::XlsGetDroppedCellCount) getDroppedCellCount_ = nullptr;
  decltype(&::XlsGetLastError) getLastError_ = nullptr;
};

}  // namespace lotvue
