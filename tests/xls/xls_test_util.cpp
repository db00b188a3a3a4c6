#include "xls_test_util.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace lotvue::xls_test {

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> f;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    f.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return f;
    start = tab + 1;
  }
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char c = s[++i];
      out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

const XlsCell* XlsSheet::At(int row, int col) const {
  const auto it = cells.find({row, col});
  return it == cells.end() ? nullptr : &it->second;
}

std::string XlsSheet::TextAt(int row, int col) const {
  const XlsCell* c = At(row, col);
  return c && c->kind == "text" ? c->text : std::string();
}

XlsBook ReadBook(const std::string& path, const std::string& options) {
  XlsBook book;
  const bool xlsx = path.size() > 5 && path.compare(path.size() - 5, 5, ".xlsx") == 0;
  const std::string command = std::string(LOTVUE_PYTHON) + " " + (xlsx ? READ_XLSX_SCRIPT : READ_XLS_SCRIPT) +
                              " '" + path + "' " + options + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return book;
  std::string line;
  char buffer[65536];
  std::string all;
  while (fgets(buffer, sizeof buffer, pipe)) {
    line += buffer;
    if (line.empty() || line.back() != '\n') continue;
    line.pop_back();
    const std::vector<std::string> f = SplitTabs(line);
    if (f[0] == "book" && f.size() == 3) {
      book.fontName = Unescape(f[1]);
      book.fontHeight = std::atoi(f[2].c_str());
    } else if (f[0] == "sheet" && f.size() == 8) {
      XlsSheet s;
      s.name = Unescape(f[2]);
      s.rows = std::atoi(f[3].c_str());
      s.cols = std::atoi(f[4].c_str());
      s.texts = std::atol(f[5].c_str());
      s.numbers = std::atol(f[6].c_str());
      s.blanks = std::atol(f[7].c_str());
      book.sheets.push_back(std::move(s));
    } else if (f[0] == "cell" && f.size() == 8) {
      XlsCell c;
      c.kind = f[4];
      c.font = std::atoi(f[5].c_str());
      c.fill = std::atoi(f[6].c_str());
      if (c.kind == "text" || c.kind == "error") c.text = Unescape(f[7]);
      if (c.kind == "number") c.number = std::strtod(f[7].c_str(), nullptr);
      book.sheets.at(std::stoul(f[1])).cells[{std::atoi(f[2].c_str()), std::atoi(f[3].c_str())}] = c;
    } else {
      book.error += line + "\n";
    }
    line.clear();
  }
  book.read = pclose(pipe) == 0 && book.error.empty();
  return book;
}

TempFolder::TempFolder() {
  char name[] = "/tmp/lotvue-xls-XXXXXX";
  path_ = mkdtemp(name) ? name : "/tmp";
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ValueText(int d, int i) {
  static const char* const kTexts[] = {" 1.500mA", "-12.30uA", " 0.000 V", "No Data", " 47.00kR", "Open"};
  return kTexts[(d + i) % 6];
}

CellColor ValueColor(int d, int i) { return static_cast<CellColor>((d * 3 + i) % 4); }

int ExpectedFont(int d, int i) {
  constexpr int kIndex[4] = {8, 10, 14, 12};
  return kIndex[static_cast<int>(ValueColor(d, i))];
}

void BuildLot(LotData& lot, int devices, int items, const std::string& lotPath) {
  lot.Reset();
  lot.path = lotPath;
  lot.itemCount = items;
  lot.deviceCount = devices;
  const int w = items + 2;
  lot.headerCells = {"DataFileName", "A123.tsd", "WaferNum", "W07",   "SystemName", "VXT-5000",
                     "DeviceName",   "BAV99",    "LotName",  "L42",   "OperatorName", "Chen",
                     "TestFileName", "bav.tpg",  "Comment",  "night", "",           "",
                     "Pass",         "3",        "Fail",     "1",     "Yield",      "75.000%"};
  static const char* const kLabels[11] = {"Item Name", "Bias 1",  "Bias 2", "Bias 3",   "Min Limit", "Max Limit",
                                          "",          "Average", "STDEV",  "Min Data", "Max Data"};
  lot.itemTable.clear();
  for (int row = 0; row < 11; ++row) {
    lot.itemTable.push_back(kLabels[row]);
    lot.itemTable.push_back("");
    for (int i = 0; i < items; ++i)
      lot.itemTable.push_back(row == 6 ? std::string() : "r" + std::to_string(row) + "i" + std::to_string(i + 1));
  }
  lot.deviceCells.Reset(static_cast<std::size_t>(w));
  lot.deviceCells.AddCell("Serial", CellColor::Black);
  lot.deviceCells.AddCell("Bin", CellColor::Black);
  for (int i = 0; i < items; ++i) lot.deviceCells.AddCell("Item" + std::to_string(i + 1), CellColor::Black);
  lot.deviceCells.EndRow();
  for (int d = 1; d <= devices; ++d) {
    const bool failed = d % 4 == 0;
    lot.deviceCells.AddCell((failed ? "F" : "P") + std::to_string(d), failed ? CellColor::Red : CellColor::Black);
    lot.deviceCells.AddCell(failed ? "3" : "1", CellColor::Black);
    for (int i = 0; i < items; ++i) lot.deviceCells.AddCell(ValueText(d, i), ValueColor(d, i));
    lot.deviceCells.EndRow();
  }
}

}  // namespace lotvue::xls_test
