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

std::filesystem::path TestFolder() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return testing::TempFolder(std::string(test->test_suite_name()) + "." + test->name());
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
  std::vector<std::string> titles;
  for (int i = 1; i <= items; ++i) titles.push_back("Item" + std::to_string(i));
  std::vector<testing::HandDevice> rows(static_cast<std::size_t>(devices));
  for (int d = 1; d <= devices; ++d) {
    testing::HandDevice& row = rows[static_cast<std::size_t>(d - 1)];
    row.serial = (d % 4 == 0 ? "F" : "P") + std::to_string(d);
    row.bin = d % 4 == 0 ? "3" : "1";
    for (int i = 0; i < items; ++i) {
      row.values.push_back(ValueText(d, i));
      row.colors.push_back(ValueColor(d, i));
    }
  }
  static_cast<LotContent&>(lot) = std::move(*testing::HandLot(titles, rows, "night", lotPath));
  lot.itemCount = items;
  lot.deviceCount = devices;
}

}  // namespace lotvue::xls_test
