// The spreadsheet library binding (loading, the fault guard) and the
// library's own rules (positions, texts, shared strings, limits), each
// checked by reading the written book back with xlrd.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "core/xls_library.h"
#include "xls_test_util.h"

namespace lotvue {
namespace {

using xls_test::ReadBook;
using xls_test::TestFolder;

TEST(XlsLibraryLoad, FindsTheLibraryBesideTheExecutableOrUnderItsSecondName) {
  CXlsLibrary besideExe;
  EXPECT_EQ(besideExe.Load(), 1);
  EXPECT_TRUE(besideExe.CanWriteBooks());

  const std::filesystem::path folder = TestFolder();
  std::filesystem::copy_file(std::string(LOTVUE_BIN_DIR) + "/TAVO_XLS.so", folder / "XlsCrt2.so");
  CollectedMessages messages;
  CXlsLibrary second;
  EXPECT_EQ(second.LoadFrom(folder, &messages), 1);
  EXPECT_TRUE(messages.texts.empty());
  int book = 0;
  ASSERT_NE(second.XlsCreateBook((folder / "b.xls").c_str(), 2000, 1, &book), 0);
  EXPECT_EQ(second.XlsCloseBook(book), 1);
  EXPECT_TRUE(ReadBook(folder / "b.xls").read);
}

// The faulty stand-in library: faults and exceptions become 0, plain
// results pass through, missing names give 0.
TEST(XlsLibraryGuard, FaultsAndExceptionsInsideTheLibraryGiveZero) {
  CXlsLibrary lib;
  ASSERT_EQ(lib.LoadFrom(FAULTY_XLS_DIR), 1);
  const struct {
    const char* text;
    int expected;
  } cases[] = {{"ok", 2}, {"SEGV", 0}, {"FPE", 0}, {"ILL", 0}, {"BUS", 0}, {"Exception", 0}, {"ok again", 2}};
  for (int round = 0; round < 2; ++round)
    for (const auto& c : cases) EXPECT_EQ(lib.XlsPutStr(c.text, 0), c.expected) << c.text;
  EXPECT_EQ(lib.XlsPutDouble(-1.0, 0), 0);  // throws an int
  EXPECT_EQ(lib.XlsPutDouble(1.0, 0), 3);
  EXPECT_EQ(lib.XlsSheetNo(4), 5);
  EXPECT_EQ(lib.POS(3, 2, -1, -1), 2003u);
  EXPECT_EQ(lib.XlsPutBackColor(11, 0), 0);  // missing
  EXPECT_EQ(lib.XlsGetSheetCount(), 0);      // missing
  EXPECT_FALSE(lib.CanWriteBooks() && lib.XlsPutDefFontName("x"));
}

TEST(XlsLibraryGuard, FaultsOutsideTheLibraryStillEndTheProgram) {
  EXPECT_EXIT(
      {
        CXlsLibrary lib;
        lib.LoadFrom(FAULTY_XLS_DIR);
        lib.XlsPutStr("SEGV", 0);
        volatile int* volatile nowhere = nullptr;
        *nowhere = 1;
      },
      ::testing::KilledBySignal(SIGSEGV), "");
}

TEST(XlsLibraryGuard, PreviousHandlersAreBackAfterTheLastBinding) {
  struct sigaction before, after;
  sigaction(SIGSEGV, nullptr, &before);
  {
    CXlsLibrary a, b;
    a.LoadFrom(FAULTY_XLS_DIR);
    b.LoadFrom(FAULTY_XLS_DIR);
  }
  sigaction(SIGSEGV, nullptr, &after);
  EXPECT_EQ(reinterpret_cast<void*>(after.sa_handler), reinterpret_cast<void*>(before.sa_handler));
}

class XlsBookTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(lib.LoadFrom(LOTVUE_BIN_DIR), 1); }
  std::string Path(const std::string& name) { return folder / name; }
  int Create(const std::string& name, int sheets = 1) {
    int book = 0;
    return lib.XlsCreateBook(Path(name).c_str(), 2000, sheets, &book) ? book : 0;
  }
  void Cell(int col, int row, const char* text) { lib.XlsPutStr(text, lib.POS(col, row, -1, -1)); }

  const std::filesystem::path folder = TestFolder();
  CXlsLibrary lib;
};

TEST_F(XlsBookTest, PositionsPackCellsAndBlocksAndMarkWhatASheetCannotHold) {
  const struct {
    int c1, r1, c2, r2;
    bool dropped;
    int row, first, last, count;
  } cases[] = {
      {0, 0, -1, -1, false, 0, 0, 0, 0},           {255, 65535, -1, -1, false, 65535, 255, 255, 0},
      {2, 23, 9, 23, false, 23, 2, 9, 0},          {250, 5, 300, 5, false, 5, 250, 255, 0},
      {256, 0, -1, -1, true, 0, 0, 0, 1},          {0, 65536, -1, -1, true, 0, 0, 0, 1},
      {-3, 0, -1, -1, true, 0, 0, 0, 1},           {0, 70000, 9, 70000, true, 0, 0, 0, 10},
      {0, 5, 3, 6, true, 0, 0, 0, 8},
  };
  for (const auto& c : cases) {
    const std::uint32_t p = lib.POS(c.c1, c.r1, c.c2, c.r2);
    ASSERT_EQ(XLS_POS_IS_DROPPED(p), c.dropped) << c.c1 << "," << c.r1;
    if (c.dropped) {
      EXPECT_EQ(XLS_POS_ROW(p), c.count);
    } else {
      EXPECT_EQ(XLS_POS_ROW(p), c.row);
      EXPECT_EQ(XLS_POS_FIRST_COL(p), c.first);
      EXPECT_EQ(XLS_POS_LAST_COL(p), c.last);
    }
  }
}

TEST_F(XlsBookTest, OneBookAtATimeAndOnlyItsOwnHandleClosesIt) {
  EXPECT_EQ(Create("zero.xls", 0), 0);
  const int book = Create("a.xls");
  ASSERT_NE(book, 0);
  EXPECT_EQ(Create("b.xls"), 0);
  EXPECT_EQ(lib.XlsCloseBook(book + 1), 0);
  EXPECT_EQ(lib.XlsCloseBook(book), 1);
  EXPECT_EQ(lib.XlsCloseBook(book), 0);
  EXPECT_TRUE(std::filesystem::exists(Path("a.xls")));
  EXPECT_FALSE(std::filesystem::exists(Path("b.xls")));
  int dummy = 0;
  EXPECT_EQ(lib.XlsCreateBook((folder / "no/such/folder/c.xls").c_str(), 2000, 1, &dummy), 0);
}

// Texts are UTF-8 when valid, else the fallback code page of the book.
TEST_F(XlsBookTest, EightBitTextsAreDecodedAsUtf8ElseInTheFallbackCodePage) {
  const struct {
    const char* bytes;
    const char* codePage;  // LOTVUE_CODEPAGE, nullptr: unset
    const char* expected;  // UTF-8
  } cases[] = {
      {"1.5m\xCE\xA9", nullptr, "1.5mΩ"},          {"\xB2\xE2\xCA\xD4", nullptr, "测试"},
      {"\xB4\xFA\xB8\xD5", "BIG5", "測試"},         {"12\xB5" "A", "CP1252", "12µA"},
      {"\xCB\xCE\xCC\xE5", "NO-SUCH-CODEPAGE", "宋体"}, {"a\xFF", nullptr, "a\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    if (c.codePage) setenv("LOTVUE_CODEPAGE", c.codePage, 1);
    const int book = Create("t.xls");
    if (c.codePage) unsetenv("LOTVUE_CODEPAGE");
    Cell(0, 0, c.bytes);
    ASSERT_EQ(lib.XlsCloseBook(book), 1);
    EXPECT_EQ(ReadBook(Path("t.xls")).sheets.at(0).TextAt(0, 0), c.expected) << c.bytes;
  }
}

// Long and many texts cross the SST record's limit at every kind of place.
TEST_F(XlsBookTest, SharedStringsSurviveContinueRecords) {
  std::vector<std::string> texts = {std::string(9000, 'a'), std::string(40000, 'b')};
  std::string wide;
  for (int i = 0; i < 5001; ++i) wide += "测";
  texts.push_back(wide);
  for (int i = 0; i < 3000; ++i) texts.push_back(std::string(1 + i % 13, 'x') + std::to_string(i) + (i % 3 ? "" : "Ω"));
  const int book = Create("s.xls");
  for (std::size_t i = 0; i < texts.size(); ++i) {
    Cell(0, static_cast<int>(i), texts[i].c_str());
    Cell(1, static_cast<int>(i), texts[i].c_str());  // the same text twice
  }
  ASSERT_EQ(lib.XlsCloseBook(book), 1);
  const auto read = ReadBook(Path("s.xls"));
  ASSERT_TRUE(read.read) << read.error;
  const auto& sheet = read.sheets.at(0);
  texts[1].resize(32767);  // the longest text a cell holds
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ASSERT_EQ(sheet.TextAt(static_cast<int>(i), 0), texts[i]) << i;
    ASSERT_EQ(sheet.TextAt(static_cast<int>(i), 1), texts[i]) << i;
  }
}

// What a cell shows is its last value with every colour it was given, even
// when the writer comes back to a row written long before. The shared
// strings are numbered in the order the texts were put, those replaced
// before their row was written included.
TEST_F(XlsBookTest, CellsKeepColoursAndTheirLastValue) {
  const int book = Create("c.xls");
  lib.XlsPutBackColor(11, lib.POS(0, 2, 3, 2));
  Cell(1, 2, "title");
  lib.XlsPutFontColor(10, lib.POS(1, 2, -1, -1));
  Cell(0, 5, "first");
  Cell(0, 5, "second");
  Cell(3, 5, "gone");
  lib.XlsPutDouble(4.5, lib.POS(3, 5, -1, -1));
  for (int r = 6; r < 60; ++r) Cell(0, r, "filler");
  Cell(0, 7, "rewritten");
  Cell(0, 8, "");
  lib.XlsPutDouble(2.5, lib.POS(2, 70000, -1, -1));
  lib.XlsPutFontColor(10, lib.POS(2, 70000, -1, -1));
  EXPECT_EQ(lib.XlsGetDroppedCellCount(), 1);
  ASSERT_EQ(lib.XlsCloseBook(book), 1);
  EXPECT_EQ(lib.XlsGetDroppedCellCount(), 1);  // still known after closing

  const auto read = ReadBook(Path("c.xls"));
  ASSERT_TRUE(read.read) << read.error;
  const auto& s = read.sheets.at(0);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(s.At(2, c) ? s.At(2, c)->fill : -2, 11) << c;
  EXPECT_EQ(s.At(2, 1)->font, 10);
  EXPECT_EQ(s.At(2, 1)->text, "title");
  EXPECT_EQ(s.At(2, 0)->kind, "blank");
  EXPECT_EQ(s.TextAt(5, 0), "second");
  EXPECT_EQ(s.At(5, 3)->number, 4.5);
  EXPECT_EQ(s.TextAt(7, 0), "rewritten");
  EXPECT_TRUE(s.TextAt(8, 0).empty());
  EXPECT_EQ(s.rows, 60);
  const std::string bytes = xls_test::ReadFileBytes(Path("c.xls"));
  std::size_t at = 0;
  for (const char* text : {"title", "first", "second", "gone", "filler", "rewritten"}) {
    const std::size_t next = bytes.find(text);
    EXPECT_TRUE(next != std::string::npos && next >= at) << text;
    at = next;
  }
}

}  // namespace
}  // namespace lotvue
