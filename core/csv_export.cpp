#include "core/csv_export.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "core/chunks_in_two.h"
#include "core/csv_scientific.h"
#include "core/number_text.h"
#include "core/records_again.h"
#include "core/result_records.h"
#include "core/value_text.h"

namespace lotvue {

std::string CsvPathOf(const std::string& lotPath) {
  return lotPath.substr(0, lotPath.size() >= 3 ? lotPath.size() - 3 : 0) + "CSV";
}

int DeviceRowCount(const LotData& lot) {
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  const std::size_t rows = lot.deviceCells.size() / w;
  return rows == 0 ? 0 : static_cast<int>(rows - 1);
}

CellRange DeviceCellRange(const LotData& lot, int firstDevice, int lastDevice) {
  const std::size_t size = lot.deviceCells.size();
  if (firstDevice < 0 && lastDevice < 0) return {0, size};
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  const std::size_t first = w * static_cast<std::size_t>(std::max(firstDevice, 0));
  const std::size_t end = w * (static_cast<std::size_t>(std::max(lastDevice, -1) + 1));
  return {std::min(first, size), std::min(std::max(first, end), size)};
}

// ---------------------------------------------------------------------------
// The CSV layout

namespace {

constexpr std::string_view kTitleLine = "TAVO Test System VXT-5000";
constexpr std::string_view kLineEnd = "\r\n";

void PutRowCell(ReplacingWriter& out, std::string_view text, bool lastInRow) {
  out.Put(text);
  if (lastInRow) {
    out.Put(kLineEnd);
  } else {
    out.Put(',');
  }
}

void WriteSummary(const LotData& lot, ReplacingWriter& out) {
  const std::size_t n = lot.headerCells.size();
  // The Comment value (position n - 9) gets no line end: the empty pair
  // that follows it continues its line.
  const std::size_t commentValue = n >= 9 ? n - 9 : SIZE_MAX;
  for (std::size_t i = 0; i < n; ++i) {
    out.Put(lot.headerCells[i]);
    if (i % 2 == 0) {
      out.Put(',');
    } else if (i != commentValue) {
      out.Put(kLineEnd);
    }
  }
}

void WriteItemTable(const LotData& lot, ReplacingWriter& out) {
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  const std::size_t n = lot.itemTable.size();
  for (std::size_t k = 0; k < n; ++k) {
    if (k / w == kRowSeparator) continue;
    PutRowCell(out, lot.itemTable[k], k % w == w - 1);
  }
}

// Copies a cell of a row. A short cell that does not end near the row's end
// moves as one 16-byte block: the bytes behind it still belong to the row,
// and the output has room for the overshoot, which the next write covers.
inline char* CopyCell(char* o, std::string_view text, const char* rowLimit) {
  if (text.size() <= 16 && text.data() + 16 <= rowLimit) {
    std::memcpy(o, text.data(), 16);
  } else {
    std::memcpy(o, text.data(), text.size());
  }
  return o + text.size();
}

// A Value cell: the text cut before its first byte above '9' (CutAtUnit).
// A short cell with 16 readable bytes is cut with one comparison of all
// 16 bytes at once.
inline char* CopyValueCell(char* o, std::string_view text, const char* rowLimit) {
#if defined(__SSE2__)
  if (text.size() <= 16 && text.data() + 16 <= rowLimit) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data()));
    // Signed comparison, as the cut counts bytes 0x80 to 0xFF as below '9'.
    const unsigned above = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('9'))));
    std::memcpy(o, text.data(), 16);
    return o + std::countr_zero(above | (1u << text.size()));
  }
#endif
  return CopyCell(o, CutAtUnit(text), rowLimit);
}

// The cells [firstCell, endCell) of the device table, row by row. Serial and
// bin, and every cell of the title row, are written as they are.
void WriteDeviceCells(const LotData& lot, std::size_t firstCell, std::size_t endCell, CsvFormat format,
                      ReplacingWriter& out) {
  const CellTable& cells = lot.deviceCells;
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  endCell = std::min(endCell, cells.size());
  if (cells.width() != w) return;  // a table that does not belong to this item count
  std::size_t k = firstCell;
  while (k < endCell) {
    const std::size_t row = k / w;
    const std::size_t colFirst = k % w;
    const std::size_t rowEnd = std::min(endCell, (row + 1) * w);
    const std::size_t colEnd = colFirst + (rowEnd - k);
    k = rowEnd;
    const CellTable::RowCells rowCells = cells.Row(row);
    const std::size_t rowBytes = rowCells.ends[w - 1];
    const char* const rowLimit = rowCells.base + rowBytes;
    const bool plain = row == 0 || format == CsvFormat::kData;
    const std::size_t room = rowBytes + w * (plain ? 1 : kMaxScientificText + 1) + 2 + 16;
    if (room > ReplacingWriter::kBufferBytes) {
      // A row larger than the buffer: cell by cell.
      for (std::size_t c = colFirst; c < colEnd; ++c) {
        std::string_view text = rowCells[c];
        if (!plain && c >= 2) {
          if (format == CsvFormat::kScientific) {
            char* p = out.Room(kMaxScientificText);
            out.Advance(WriteScientificText(text, p));
            text = {};
          } else {
            text = CutAtUnit(text);
          }
        }
        PutRowCell(out, text, c == w - 1);
      }
      continue;
    }
    char* const start = out.Room(room);
    char* o = start;
    for (std::size_t c = colFirst; c < colEnd; ++c) {
      const std::string_view text = rowCells[c];
      if (plain || c < 2) {
        o = CopyCell(o, text, rowLimit);
      } else if (format == CsvFormat::kScientific) {
        o += WriteScientificText(text, rowLimit, o);
      } else {
        o = CopyValueCell(o, text, rowLimit);
      }
      if (c == w - 1) {
        o[0] = '\r';
        o[1] = '\n';
        o += 2;
      } else {
        *o++ = ',';
      }
    }
    out.Advance(static_cast<std::size_t>(o - start));
  }
}

// Scientific cells cost several times what copying costs: a large range is
// cut into chunks of about kChunkCells cells that two threads format.
constexpr std::size_t kChunkCells = 1 << 16;

void WriteDeviceCellsInTwo(const LotData& lot, std::size_t firstCell, std::size_t endCell, CsvFormat format,
                           ReplacingWriter& out) {
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  const std::size_t chunk = std::max<std::size_t>(1, kChunkCells / w) * w;  // whole rows
  WriteChunksInTwo((endCell - firstCell + chunk - 1) / chunk, [&](std::size_t c, ReplacingWriter& sink) {
    const std::size_t first = firstCell + c * chunk;
    WriteDeviceCells(lot, first, std::min(endCell, first + chunk), format, sink);
  }, out);
}

// Scientific cells from their texts: a large range in two threads.
void WriteScientificTexts(const LotData& lot, std::size_t firstCell, std::size_t endCell, ReplacingWriter& out) {
  if (firstCell < endCell && endCell - firstCell > 2 * kChunkCells) {
    WriteDeviceCellsInTwo(lot, firstCell, endCell, CsvFormat::kScientific, out);
  } else {
    WriteDeviceCells(lot, firstCell, endCell, CsvFormat::kScientific, out);
  }
}

// Whole device rows [firstRow, endRow) in the Scientific format from the
// packed DeviceRecords of those rows at `records`: the serial and bin texts
// as the reader made them of the record ("P" or "F" and the serial number,
// the bin number), then the results; the rows' texts are not read at all.
void WritePackedRows(std::size_t firstRow, std::size_t endRow, const std::uint8_t* records,
                     const std::vector<const PackedScientific*>& columns, ReplacingWriter& out) {
  const std::size_t items = columns.size();
  const std::size_t recordBytes = DeviceRecord::Bytes(items);
  constexpr std::size_t kSerialAndBin = 1 + 20 + 1 + 20 + 1;  // WriteInt: at most 20 bytes
  const std::size_t room = kSerialAndBin + items * PackedScientific::kMaxText + 1;
  for (std::size_t row = firstRow; row < endRow; ++row, records += recordBytes) {
    const DeviceRecord record{records};
    char* const start = out.Room(room);
    char* o = start;
    *o++ = record.Failed() ? 'F' : 'P';
    o += WriteInt(record.Serial(), o);
    *o++ = ',';
    o += WriteInt(record.Bin(), o);
    *o++ = ',';
    o = WriteScientificResults(columns.data(), record.Result(0), items, o);
    o[-1] = '\r';
    *o++ = '\n';
    out.Advance(static_cast<std::size_t>(o - start));
  }
}

// Scientific cells: the title row as it is, the devices' results from their
// packed records where the lot's file still holds the records the load
// read, from their texts elsewhere; the same bytes either way.
void WriteScientificCells(const LotData& lot, std::size_t firstCell, std::size_t endCell, ReplacingWriter& out) {
  const CellTable& cells = lot.deviceCells;
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  const std::size_t items = w - 2;
  std::map<std::pair<std::uint32_t, std::uint8_t>, PackedScientific> kinds;
  std::vector<const PackedScientific*> columns;
  bool packed = w > 2 && firstCell < endCell && cells.width() == w &&
                cells.rows() == static_cast<std::size_t>(lot.devices()) + 1 && lot.itemTypes.size() == items &&
                lot.itemUnits.size() == items;
  for (std::size_t i = 0; packed && i < items; ++i) {
    const std::uint32_t type = lot.itemTypes[i];
    const std::uint8_t unit = lot.itemUnits[i];
    columns.push_back(&kinds.try_emplace({type, unit}, type, unit).first->second);
    packed = columns.back()->KnowsEveryStatus();
  }
  // Whole device rows from the records; the title row and parts of rows from the texts.
  const std::size_t firstRow = packed ? std::max<std::size_t>(1, (firstCell + w - 1) / w) : 0;
  const std::size_t endRow = packed ? endCell / w : 0;
  if (firstRow >= endRow) {
    WriteScientificTexts(lot, firstCell, endCell, out);
    return;
  }
  WriteScientificTexts(lot, firstCell, firstRow * w, out);
  ForRecordsReadAgain(lot, static_cast<int>(firstRow - 1), static_cast<int>(endRow - 1),
                      [&](int first, int end, const std::uint8_t* records) {
    const std::size_t from = static_cast<std::size_t>(first) + 1, to = static_cast<std::size_t>(end) + 1;
    if (records) {
      WritePackedRows(from, to, records, columns, out);
    } else {
      WriteScientificTexts(lot, from * w, to * w, out);
    }
  });
  WriteScientificTexts(lot, endRow * w, endCell, out);
}

}  // namespace

void WriteCsv(const LotData& lot, std::size_t firstCell, std::size_t endCell, CsvFormat format, ReplacingWriter& out) {
  out.Put(kTitleLine);
  out.Put(kLineEnd);
  WriteSummary(lot, out);
  out.Put(kLineEnd);
  WriteItemTable(lot, out);
  const CellTable& cells = lot.deviceCells;
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  if (firstCell > 0 && cells.rows() > 0 && cells.width() == w) {
    for (std::size_t c = 0; c < w; ++c) PutRowCell(out, cells.At(0, c), c == w - 1);
  }
  endCell = std::min(endCell, cells.size());
  if (format == CsvFormat::kScientific) {
    WriteScientificCells(lot, firstCell, endCell, out);
  } else {
    WriteDeviceCells(lot, firstCell, endCell, format, out);
  }
}

std::string CsvText(const LotData& lot, std::size_t firstCell, std::size_t endCell, CsvFormat format) {
  std::string text;
  ReplacingWriter out(&text);
  WriteCsv(lot, firstCell, endCell, format, out);
  out.Commit();
  return text;
}

bool WriteCsvFile(const std::string& path, const LotData& lot, std::size_t firstCell, std::size_t endCell,
                  CsvFormat format, int* error) {
  ReplacingWriter out;
  if (out.Open(path)) {
    WriteCsv(lot, firstCell, endCell, format, out);
    if (out.Commit()) return true;
  }
  if (error) *error = out.error();
  return false;
}

}  // namespace lotvue
