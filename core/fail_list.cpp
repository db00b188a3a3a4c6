#include "core/fail_list.h"

#include "core/replacing_writer.h"
#include "core/number_text.h"

namespace lotvue {

CellTable failRows;

bool IsFailedSerial(std::string_view serial) {
  std::size_t i = 0;
  while (i < serial.size() && (serial[i] == ' ' || (serial[i] >= '\t' && serial[i] <= '\r'))) ++i;
  if (i == serial.size()) return false;
  return serial[i] != 'P' && serial[i] != 'p';
}

CellTable FailRowsOf(const LotData& lot) {
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  CellTable rows(w);
  const CellTable& cells = lot.deviceCells;
  if (cells.width() != w || cells.rows() == 0) return rows;
  const std::size_t count = cells.size() / w;
  for (std::size_t r = 0; r < count; ++r) {
    if (r > 0 && !IsFailedSerial(cells.At(r, 0))) continue;
    for (std::size_t c = 0; c < w; ++c) rows.AddCell(cells.At(r, c), cells.ColorAt(r, c));
    rows.EndRow();
  }
  return rows;
}

void BuildFailRows(const LotData& lot) { failRows = FailRowsOf(lot); }

std::string FailCsvPath(const std::string& lotPath) {
  return lotPath.substr(0, lotPath.size() >= 4 ? lotPath.size() - 4 : 0) + "_Fail.CSV";
}

namespace {

void WriteFailRows(const CellTable& rows, ReplacingWriter& out) {
  const std::size_t w = rows.width();
  const std::size_t count = rows.rows();
  for (std::size_t r = 0; r < count; ++r) {
    if (r == 0) {
      out.Put("Number,");
    } else {
      char* p = out.Room(24);
      const std::size_t n = WriteInt(static_cast<std::int64_t>(r), p);
      p[n] = ',';
      out.Advance(n + 1);
    }
    for (std::size_t c = 0; c < w; ++c) {
      out.Put(rows.At(r, c));
      out.Put(',');
    }
    out.Put("\r\n");
  }
}

}  // namespace

std::string FailCsvText(const CellTable& rows) {
  std::string text;
  ReplacingWriter out(&text);
  WriteFailRows(rows, out);
  out.Commit();
  return text;
}

bool WriteFailCsv(const CellTable& rows, const std::string& path, int* error) {
  ReplacingWriter out;
  if (out.Open(path)) {
    WriteFailRows(rows, out);
    if (out.Commit()) return true;
  }
  if (error) *error = out.error();
  return false;
}

}  // namespace lotvue
