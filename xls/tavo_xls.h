/* TAVO_XLS: the spreadsheet writer library. It writes one Excel 97-2003
 * workbook (BIFF8 in a compound file) at a time in each thread, cell by
 * cell, through the entry points below; threads write books of their own
 * side by side (the open book, its handle and the last error are the
 * calling thread's). The program loads it at run time (dlopen) and looks
 * the names up one by one; this header gives their exact C signatures. */
#ifndef LOTVUE_XLS_TAVO_XLS_H
#define LOTVUE_XLS_TAVO_XLS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TAVO_XLS_BUILDING)
#define TAVO_XLS_API __attribute__((visibility("default")))
#else
#define TAVO_XLS_API
#endif

/* Positions (the result of POS) pack a cell or a block of one row into 32 bits:
 *   bits  0..15  row (0..65535)
 *   bits 16..23  first column (0..255)
 *   bits 24..31  last column (first..255)
 * A block whose last column is below its first marks cells that a sheet
 * cannot hold (row beyond 65535, column beyond 255, negative or several
 * rows): then bits 0..15 hold how many cells it stands for (at most 65535).
 * Values put there are dropped and counted; colours put there are ignored. */
#define XLS_POS_ROW(p) ((int)((p) & 0xFFFFu))
#define XLS_POS_FIRST_COL(p) ((int)(((p) >> 16) & 0xFFu))
#define XLS_POS_LAST_COL(p) ((int)(((p) >> 24) & 0xFFu))
#define XLS_POS_IS_DROPPED(p) (XLS_POS_LAST_COL(p) < XLS_POS_FIRST_COL(p))
#define XLS_MAX_ROWS 65536
#define XLS_MAX_COLS 256

/* Starts a book of sheetCount empty sheets, to be written to fileName when
 * it is closed. creationArg is accepted for compatibility and not used.
 * Non-zero on success, with *book set to the handle for XlsCloseBook; 0 when
 * a book is already open, sheetCount is below 1, an existing fileName
 * cannot be replaced (a folder, or read-only) or its folder cannot take a
 * new file. An existing file stays as it is until the book is closed. */
TAVO_XLS_API int XlsCreateBook(const char* fileName, int creationArg, int sheetCount, int* book);
/* Writes the book and ends it. Non-zero when the file was written
 * completely and has replaced any old file of that name; 0 on any failure
 * (a full disk, a failing write or flush), and then the old file, or no
 * file, is there as before. */
TAVO_XLS_API int XlsCloseBook(int book);

/* Font name (8-bit text) and size in points of every cell's font. */
TAVO_XLS_API int XlsPutDefFontName(const char* name);
TAVO_XLS_API int XlsPutDefFontPoint(double points);

/* Number of sheets of the open book (0 when none is open). */
TAVO_XLS_API int XlsGetSheetCount(void);
/* Selects the sheet (from 0) that the following calls write to. */
TAVO_XLS_API int XlsSheetNo(int sheet);
/* Names the selected sheet (at most 31 characters; : \ / ? * [ ] become _). */
TAVO_XLS_API int XlsPutSheetName(const char* name);

/* Position of one cell (lastCol and lastRow -1) or of a block of one row. */
TAVO_XLS_API uint32_t POS(int firstCol, int firstRow, int lastCol, int lastRow);

/* A text (8-bit: UTF-8 when valid, else the code page of LOTVUE_CODEPAGE,
 * default GB18030) or a number into the first cell of a position. */
TAVO_XLS_API int XlsPutStr(const char* text, uint32_t pos);
TAVO_XLS_API int XlsPutDouble(double value, uint32_t pos);
/* Font colour and solid background of every cell of a position, as indexes
 * of the standard palette (0..63). A cell keeps them when a value follows. */
TAVO_XLS_API int XlsPutFontColor(int colorIndex, uint32_t pos);
TAVO_XLS_API int XlsPutBackColor(int colorIndex, uint32_t pos);

/* Values that the open book, or else the book written last, could not
 * hold because their cells lie beyond 65,536 rows or 256 columns. */
TAVO_XLS_API long long XlsGetDroppedCellCount(void);

/* Why the last XlsCreateBook or XlsCloseBook returned 0: the system's error
 * number (ENOSPC, EACCES, ...; EINVAL for a bad call), 0 after a success. */
TAVO_XLS_API int XlsGetLastError(void);

/* The entry points other than the two book calls and POS return 1 when
 * they did their work and 0 when not (no book open, bad argument, value
 * dropped, out of memory). */

#ifdef __cplusplus
}
#endif

#endif
