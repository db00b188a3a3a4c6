// The two small files of the Config folder, the settings and the language,
// and the language tables.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "core/app_settings.h"
#include "core/language.h"
#include "tests/core/lot_files.h"

namespace lotvue {
namespace {

namespace fs = std::filesystem;

using testing::ReadFileBytes;

void WriteBytes(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

class ConfigFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::TempFolder(std::string("settings-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    const char* old = std::getenv("LOTVUE_CONFIG_DIR");
    oldEnv_ = old ? old : "";
    hadEnv_ = old != nullptr;
    setenv("LOTVUE_CONFIG_DIR", dir_.c_str(), 1);
    lang_ = dir_ / "Language.spec";
  }
  void TearDown() override {
    if (hadEnv_) setenv("LOTVUE_CONFIG_DIR", oldEnv_.c_str(), 1);
    else unsetenv("LOTVUE_CONFIG_DIR");
  }
  AppSettingsData Load(const std::string& bytes) {
    WriteBytes(dir_ / "LotVuer.spec", bytes);
    AppSettingsData s;
    LoadSettingsFrom(dir_ / "LotVuer.spec", s);
    return s;
  }
  fs::path dir_;
  fs::path lang_;  // the language file, in the same folder
  std::string oldEnv_;
  bool hadEnv_ = false;
};

TEST_F(ConfigFiles, ReadsKeysAndValuesByTheFileRules) {
  struct Case {
    std::string file;
    AppSettingsData expected;  // AvgStdOnlyPass, ShowLine, XLS, CSV, CSVFormat
  };
  const Case cases[] = {
      {"  ShowLine= yes \r\n", {0, 1, 1, 0, 0}},
      {"ShowLine =yes\r\n", {0, 0, 1, 0, 0}},  // blank before "=": unknown key
      {"showline=yes\r\n", {0, 0, 1, 0, 0}},   // keys are case-sensitive
      {"AvgStdOnlyPass=Y\r\n", {1, 0, 1, 0, 0}},
      {"AvgStdOnlyPass=1\r\n", {0, 0, 1, 0, 0}},
      {"AvgStdOnlyPass=yes please", {1, 0, 1, 0, 0}},
      {"ConvertFileTypeXLS=\r\n", {0, 0, 0, 0, 0}},  // empty value is no
      {"ConvertFileTypeXLS\r\n", {0, 0, 1, 0, 0}},   // no "=": ignored
      {"ShowLine==yes\r\n", {0, 0, 1, 0, 0}},        // value starts at the first "="
      {"CSVFormat=2abc", {0, 0, 1, 0, 2}},
      {"CSVFormat=x", {0, 0, 1, 0, 0}},
      {"CSVFormat=7", {0, 0, 1, 0, 7}},
      {"CSVFormat= -3", {0, 0, 1, 0, -3}},
      {"CSVFormat=99999999999", {0, 0, 1, 0, 2147483647}},
      {"ShowLine=Yes\r\nShowLine=No\r\n", {0, 0, 1, 0, 0}},  // last one wins
      {"ConvertFileTypeCSV=No\nConvertFileTypeCSV=YES", {0, 0, 1, 1, 0}},
      {"AvgStdOnlyPass=No\r\nShowLine=Yes\r\nConvertFileTypeXLS=No\r\n"
       "ConvertFileTypeCSV=Yes\r\nCSVFormat=1", {0, 1, 0, 1, 1}},
      // 255 bytes end one read; the rest of the line is read as a line of its
      // own, so a key cut by the limit is not recognised.
      {std::string(255, 'x') + "ShowLine=Yes\r\n", {0, 1, 1, 0, 0}},
      {std::string(250, ' ') + "ShowLine=Yes\r\n", {0, 0, 1, 0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SettingsFileText(Load(c.file)), SettingsFileText(c.expected)) << c.file;
  }
}

TEST_F(ConfigFiles, WritesExactlyTheFiveLines) {
  EXPECT_EQ(SettingsFileText(AppSettingsData{}),
            "AvgStdOnlyPass=No\r\nShowLine=No\r\nConvertFileTypeXLS=Yes\r\n"
            "ConvertFileTypeCSV=No\r\nCSVFormat=0");
  // Yes only for exactly 1; CSVFormat is written as it is.
  EXPECT_EQ(SettingsFileText({1, 2, 0, 1, 7}),
            "AvgStdOnlyPass=Yes\r\nShowLine=No\r\nConvertFileTypeXLS=No\r\n"
            "ConvertFileTypeCSV=Yes\r\nCSVFormat=7");

  // Unknown lines, order and case of the old file are not kept.
  const fs::path path = dir_ / "LotVuer.spec";
  WriteBytes(path, "Extra=1\r\nCSVFormat=2\r\nshowline=yes\r\n");
  ASSERT_TRUE(SaveSettingsTo(path, {0, 1, 1, 0, 2}));
  EXPECT_EQ(ReadFileBytes(path), SettingsFileText({0, 1, 1, 0, 2}));
}

// The settings file and the language file go through one writer: a failure leaves the old file,
// links planted beside it are never followed, a linked file is updated at its target.
TEST_F(ConfigFiles, SavesReplaceTheOldFileOnlyWhenComplete) {
  const std::function<bool(const fs::path&)> saves[] = {
      [](const fs::path& p) { return SaveSettingsTo(p, {1, 1, 1, 1, 1}); },
      [](const fs::path& p) { return SaveLanguageTo(p, 2); },
  };
  const fs::path file = dir_ / "LotVuer.spec";
  const fs::path victim = dir_ / "victim";
  const auto leftovers = [&] {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir_)) n += e.path().filename().string().rfind(".lotvue-", 0) == 0;
    return n;
  };
  for (const auto& save : saves) {
    fs::remove_all(dir_ / "busy");
    WriteBytes(file, "ShowLine=Yes");
    WriteBytes(victim, "mine");
    fs::remove(dir_ / "LotVuer.spec~");
    fs::create_symlink(victim, dir_ / "LotVuer.spec~");  // an old temporary name, planted
    EXPECT_FALSE(testing::UnderFileSizeLimit(4, [&] { return save(file); }));
    EXPECT_EQ(ReadFileBytes(file), "ShowLine=Yes");
    EXPECT_EQ(ReadFileBytes(victim), "mine");
    EXPECT_EQ(leftovers(), 0);

    fs::create_directories(dir_ / "busy" / "LotVuer.spec" / "x");  // a folder in the way
    EXPECT_FALSE(save(dir_ / "busy" / "LotVuer.spec"));

    fs::remove(file);
    fs::create_symlink("victim", file);
    ASSERT_TRUE(save(file));
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_NE(ReadFileBytes(victim), "mine");
    EXPECT_TRUE(fs::is_symlink(dir_ / "LotVuer.spec~"));
    EXPECT_EQ(leftovers(), 0);
    fs::remove(file);
  }
}

// Both files through the Config folder; one that does not exist is neither
// read nor made (the language table switches all the same).
TEST_F(ConfigFiles, LoadAndSaveUseTheConfigFolder) {
  EXPECT_EQ(ConfigFolder(), dir_.string() + "/");
  AppSettings = {1, 1, 0, 1, 7};
  LoadSettings();  // no file yet: the defaults
  EXPECT_EQ(SettingsFileText(AppSettings), SettingsFileText(AppSettingsData{}));
  AppSettings = {1, 0, 0, 1, 7};
  SaveSettings();
  SaveLanguage(2);
  AppSettings = AppSettingsData{};
  SelectLanguageTable(0);
  LoadSettings();
  LoadLanguage();
  EXPECT_EQ(SettingsFileText(AppSettings), SettingsFileText({1, 0, 0, 1, 7}));
  EXPECT_EQ(LanguageTable.language, 2);
  EXPECT_STREQ(Lang(kSlotViewMenu), "查看(&)");

  setenv("LOTVUE_CONFIG_DIR", (dir_ / "missing").c_str(), 1);
  SaveSettings();
  SaveLanguage(1);
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
  EXPECT_EQ(LanguageTable.language, 1);
  LoadLanguage();
  EXPECT_STREQ(Lang(kSlotFileMenu), "&File");
}

TEST_F(ConfigFiles, WithoutOverrideThePortableFolderComesFirst) {
  unsetenv("LOTVUE_CONFIG_DIR");
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  const fs::path exe = fs::read_symlink("/proc/self/exe");
  EXPECT_EQ(ExecutableFolder(), exe.parent_path().string() + "/");
  const std::string portable = exe.parent_path().parent_path().string() + "/Config/";
  if (fs::is_directory(portable)) {
    EXPECT_EQ(ConfigFolder(), portable);
    EXPECT_FALSE(ConfigFolderIsFallback());
  } else {
    EXPECT_EQ(ConfigFolder(), dir_.string() + "/lotvue/Config/");
    ASSERT_TRUE(ConfigFolderIsFallback());
    SaveSettings();  // the fallback folder is made on first write
    EXPECT_TRUE(fs::exists(dir_ / "lotvue/Config/LotVuer.spec"));
  }
  if (oldXdg) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
}

// Every slot has a text; Traditional Chinese has its own texts for the view
// menu and the Device QC dialog and shares every other text with Simplified;
// an unknown number is kept and shows English.
TEST(LanguageTables, EverySlotHasTextAndTraditionalSharesTheSimplifiedTexts) {
  for (int slot = 0; slot < kLanguageSlots; ++slot) {
    for (int language = 0; language < 3; ++language) EXPECT_GT(std::strlen(LanguageText(language, slot)), 0u) << language << "/" << slot;
    if (slot != kSlotViewMenu && (slot < kSlotScatter || slot > kSlotStep)) {
      EXPECT_STREQ(LanguageText(2, slot), LanguageText(1, slot)) << slot;
    }
  }
  SelectLanguageTable(5);
  EXPECT_EQ(LanguageTable.language, 5);
  EXPECT_STREQ(Lang(kSlotFileMenu), "&File");
  EXPECT_STREQ(LanguageText(-1, kSlotFileMenu), "&File");
  SelectLanguageTable(2);
  EXPECT_STREQ(Lang(kSlotStep), "步長");
  EXPECT_STREQ(Lang(kLanguageSlots), "");
}

TEST_F(ConfigFiles, ReadsTheFirstLanguageLine) {
  EXPECT_EQ(ReadLanguageNumber(lang_), 0);  // no file
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
    WriteBytes(lang_, file);
    EXPECT_EQ(ReadLanguageNumber(lang_), number) << file;
  }
}

TEST_F(ConfigFiles, RewritesTheLanguageFile) {
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
    fs::remove(lang_);
    if (c.exists) WriteBytes(lang_, c.before);
    EXPECT_TRUE(SaveLanguageTo(lang_, c.language));
    EXPECT_EQ(ReadFileBytes(lang_), c.after) << c.before;
  }
  EXPECT_FALSE(SaveLanguageTo(dir_ / "missing" / "Language.spec", 1));
}

}  // namespace
}  // namespace lotvue
