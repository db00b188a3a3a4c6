#include "core/item_stats_text.h"

#include <charconv>
#include <vector>

#include "core/replacing_writer.h"
#include "core/text_codec.h"

namespace lotvue {

namespace {

constexpr const char* kItemColumns[] = {"Item", "Name", "Unit",   "LSL", "USL", "N",  "Fails", "FailPct",
                                        "Mean", "Median", "Stdev", "Min", "Max", "Cp", "Cpk"};
constexpr const char* kBinColumns[] = {"Bin", "Count", "Passed", "Failed", "Percent"};

// One field of an output table.
struct Field {
  enum class Kind { kText, kInteger, kNumber, kUndefined } kind;
  std::string text;
  std::int64_t integer = 0;
  double number = 0;
};

Field Text(std::string text) { return {Field::Kind::kText, std::move(text)}; }
Field Integer(std::int64_t v) { return {Field::Kind::kInteger, {}, v}; }
Field Number(std::optional<double> v) {
  return v ? Field{Field::Kind::kNumber, {}, 0, *v} : Field{Field::Kind::kUndefined, {}};
}

using Row = std::vector<Field>;

void AppendNumber(std::string& out, const Field& f) {
  char buf[32];
  const std::to_chars_result r = f.kind == Field::Kind::kInteger ? std::to_chars(buf, buf + sizeof buf, f.integer)
                                                                  : std::to_chars(buf, buf + sizeof buf, f.number);
  out.append(buf, r.ptr);
}

void AppendCsvText(std::string& out, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[(c >> 4) & 0xF];
      out += kHex[c & 0xF];
    } else {
      out += c;
    }
  }
  out += '"';
}

std::string CsvText(std::span<const char* const> columns, const std::vector<Row>& rows, std::string_view lineEnd) {
  std::string out;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (c) out += ',';
    out += columns[c];
  }
  out += lineEnd;
  for (const Row& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c) out += ',';
      if (row[c].kind == Field::Kind::kText) AppendCsvText(out, row[c].text);
      else if (row[c].kind != Field::Kind::kUndefined) AppendNumber(out, row[c]);
    }
    out += lineEnd;
  }
  return out;
}

std::string JsonText(std::span<const char* const> columns, const std::vector<Row>& rows) {
  if (rows.empty()) return "[]\n";
  std::string out = "[\n";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    out += "  {";
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (c) out += ", ";
      AppendJsonString(out, columns[c]);
      out += ": ";
      const Field& f = rows[r][c];
      if (f.kind == Field::Kind::kText) AppendJsonString(out, f.text);
      else if (f.kind == Field::Kind::kUndefined) out += "null";
      else AppendNumber(out, f);
    }
    out += r + 1 < rows.size() ? "},\n" : "}\n";
  }
  out += "]\n";
  return out;
}

// Name and unit as the file's bytes, or decoded for display.
std::vector<Row> ItemRows(const LotData& lot, std::span<const ItemStats> table, bool decoded) {
  std::vector<Row> rows;
  rows.reserve(table.size());
  for (const ItemStats& s : table) {
    const std::uint8_t unitByte = lot.itemUnits[s.item];
    std::string name = lot.itemNames[s.item];
    std::string unit = unitByte == 0 ? std::string() : std::string(1, static_cast<char>(unitByte));
    if (decoded) {
      name = DisplayUtf8(name);
      unit = DisplayUtf8(unit);
    }
    rows.push_back({Integer(s.item + 1), Text(std::move(name)), Text(std::move(unit)), Number(s.lsl), Number(s.usl),
                    Integer(s.n), Integer(s.fails), Number(s.failPct), Number(s.mean), Number(s.median),
                    Number(s.stdev), Number(s.min), Number(s.max), Number(s.cp), Number(s.cpk)});
  }
  return rows;
}

std::vector<Row> BinRows(std::span<const BinStats> bins) {
  std::vector<Row> rows;
  rows.reserve(bins.size());
  for (const BinStats& b : bins) {
    rows.push_back({Integer(b.bin), Integer(b.count), Integer(b.passed), Integer(b.failed), Number(b.percent)});
  }
  return rows;
}

}  // namespace

std::string ItemStatsCsv(const LotData& lot, std::span<const ItemStats> table, std::string_view lineEnd) {
  return CsvText(kItemColumns, ItemRows(lot, table, false), lineEnd);
}

std::string ItemStatsCsvPath(const std::string& lotPath) {
  return lotPath.substr(0, lotPath.size() >= 4 ? lotPath.size() - 4 : 0) + "_Stats.CSV";
}

bool WriteItemStatsCsvFile(const std::string& path, const LotData& lot, std::span<const ItemStats> table) {
  ReplacingWriter out;
  if (!out.Open(path)) return false;
  out.Put(ItemStatsCsv(lot, table, "\r\n"));
  return out.Commit();
}

std::string ItemStatsJson(const LotData& lot, std::span<const ItemStats> table) {
  return JsonText(kItemColumns, ItemRows(lot, table, true));
}

std::string BinStatsCsv(std::span<const BinStats> bins, std::string_view lineEnd) {
  return CsvText(kBinColumns, BinRows(bins), lineEnd);
}

std::string BinStatsJson(std::span<const BinStats> bins) { return JsonText(kBinColumns, BinRows(bins)); }

}  // namespace lotvue
