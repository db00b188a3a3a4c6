#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/app_settings.h"
#include "core/language.h"

namespace lotvue {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class LanguageFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/lotvue-language-XXXXXX";
    dir_ = mkdtemp(tmpl);
    path_ = dir_ / "Language.spec";
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
  fs::path dir_, path_;
};

TEST(LanguageTables, EverySlotHasText) {
  for (int language = 0; language < 3; ++language)
    for (int slot = 0; slot < kLanguageSlots; ++slot)
      EXPECT_GT(std::strlen(LanguageText(language, slot)), 0u) << language << "/" << slot;
}

// Traditional Chinese has its own texts for the view menu and the Device QC
// dialog and shares every other text with Simplified Chinese.
TEST(LanguageTables, TraditionalSharesTheSimplifiedTexts) {
  for (int slot = 0; slot < kLanguageSlots; ++slot) {
    if (slot != kSlotViewMenu && (slot < kSlotScatter || slot > kSlotStep)) {
      EXPECT_STREQ(LanguageText(2, slot), LanguageText(1, slot)) << slot;
    }
  }
}

TEST(LanguageTables, SelectKeepsTheNumber) {
  SelectLanguageTable(5);  // unknown numbers show English
  EXPECT_EQ(LanguageTable.language, 5);
  EXPECT_STREQ(Lang(kSlotFileMenu), "&File");
  EXPECT_STREQ(LanguageText(-1, kSlotFileMenu), "&File");
  SelectLanguageTable(2);
  EXPECT_STREQ(Lang(kSlotStep), "步長");
  EXPECT_STREQ(Lang(kLanguageSlots), "");
}

TEST_F(LanguageFile, ReadsTheFirstLanguageLine) {
  EXPECT_EQ(ReadLanguageNumber(path_), 0);  // no file
  const std::pair<const char*, int> cases[] = {
      {"LOTvue=2", 2},
      {"  LOTvue= 1 \r\n", 1},
      {"lotvue=1\r\n", 0},
      {"LOTvue =1\r\n", 0},
      {"note\r\n\r\nFoo=3\r\nLOTvue=1\r\nLOTvue=2\r\n", 1},
      {"LOTvue=12x", 12},
      {"LOTvue=abc", 0},
      {"X=LOTvue=2", 0},
  };
  for (const auto& [file, number] : cases) {
    Write(file);
    EXPECT_EQ(ReadLanguageNumber(path_), number) << file;
  }
}

TEST_F(LanguageFile, RewritesTheFile) {
  struct Case { bool exists; const char* before; int language; const char* after; };
  const Case cases[] = {
      {false, "", 0, "LOTvue=0"},
      {false, "", -1, "LOTvue=-1"},
      {true, "LOTvue=0", 0, "LOTvue=0\r\n"},
      {true, "", 1, "LOTvue=1\r\n"},
      {true, "note\r\n", 2, "LOTvue=2\r\n"},
      {true, "Foo=1\r\nFoo=1\r\nnote\r\nLOTvue=1\r\n", 1, "Foo=1\r\nLOTvue=1\r\n"},
      {true, "lotvue=1\r\n", 2, "lotvue=1\r\nLOTvue=2\r\n"},
      {true, "  A=1  \nLOTvue=2\nB=2\nA=1", 0, "A=1\r\nLOTvue=0\r\nB=2\r\n"},
  };
  for (const Case& c : cases) {
    fs::remove(path_);
    if (c.exists) Write(c.before);
    EXPECT_TRUE(SaveLanguageTo(path_, c.language));
    EXPECT_EQ(ReadBytes(path_), c.after) << c.before;
  }
  EXPECT_FALSE(SaveLanguageTo(dir_ / "missing" / "Language.spec", 1));
}

TEST_F(LanguageFile, SaveAndLoadThroughTheConfigFolder) {
  const char* old = std::getenv("LOTVUE_CONFIG_DIR");
  const std::string saved = old ? old : "";
  setenv("LOTVUE_CONFIG_DIR", (dir_ / "missing").c_str(), 1);
  SaveLanguage(1);  // nothing written, the table switches all the same
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
  EXPECT_EQ(LanguageTable.language, 1);
  LoadLanguage();
  EXPECT_STREQ(Lang(kSlotFileMenu), "&File");

  setenv("LOTVUE_CONFIG_DIR", dir_.c_str(), 1);
  SaveLanguage(2);
  SelectLanguageTable(0);
  LoadLanguage();
  EXPECT_EQ(LanguageTable.language, 2);
  EXPECT_STREQ(Lang(kSlotViewMenu), "查看(&)");

  if (old) setenv("LOTVUE_CONFIG_DIR", saved.c_str(), 1);
  else unsetenv("LOTVUE_CONFIG_DIR");
}

}  // namespace
}  // namespace lotvue
