// lotvue-cli convert, fail-csv and convert-folder, run as a separate
// process on generated result files; exit status, messages and files.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/csv_export.h"
#include "core/fail_list.h"
#include "core/result_file.h"
#include "tools/tsd_writer.h"

namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("lotvue-cli-" + std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config");
    fs::create_directories(dir_ / "lots");
  }
  void TearDown() override {
    fs::permissions(dir_ / "lots", fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }

  // Runs lotvue-cli with the Config folder of this test.
  CliRun Cli(const std::vector<std::string>& args) {
    const fs::path out = dir_ / "stdout";
    const fs::path err = dir_ / "stderr";
    const pid_t child = fork();
    if (child == 0) {
      if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr)) _exit(127);
      setenv("LOTVUE_CONFIG_DIR", (dir_ / "config").c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(LOTVUE_CLI)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(LOTVUE_CLI, argv.data());
      _exit(127);
    }
    CliRun run;
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Read(out);
    run.err = Read(err);
    return run;
  }

  std::string Lot(const std::string& name, int devices = 12, int items = 5, double failShare = 0.3) {
    tsd::GenerateOptions o;
    o.seed = 11;
    o.devices = devices;
    o.items = items;
    o.failShare = failShare;
    const fs::path p = dir_ / "lots" / name;
    tsd::WriteFile(p.string(), tsd::GenerateLot(o));
    return p.string();
  }

  // What the core writes for the same file.
  static std::unique_ptr<lotvue::LotData> Load(const std::string& path, bool onlyPass = false) {
    auto lot = std::make_unique<lotvue::LotData>();
    lot->path = path;
    lotvue::SilentReaderEvents events;
    lotvue::LoadResultFile(*lot, lotvue::ReadOptions{onlyPass}, events);
    return lot;
  }
  static std::string ExpectedCsv(const std::string& path, int first, int last, lotvue::CsvFormat format,
                                 bool onlyPass = false) {
    auto lot = Load(path, onlyPass);
    const lotvue::CellRange r = lotvue::DeviceCellRange(*lot, first, last);
    return lotvue::CsvText(*lot, r.firstCell, r.endCell, format);
  }
  std::vector<std::string> LotFolder() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_ / "lots")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

TEST_F(CliTest, FlagsOverrideTheSettingsForTheRun) {
  const std::string a = Lot("A.tsd");
  const std::string csv = lotvue::CsvPathOf(a);
  struct Case {
    std::vector<std::string> flags;
    int first, last;
    lotvue::CsvFormat format;
    bool onlyPass;
  };
  const std::vector<Case> cases = {
      {{"--csv", "--no-xls"}, -1, -1, lotvue::CsvFormat::kData, false},
      {{"--csv", "--no-xls", "--csv-format", "scientific", "--range", "3-3"}, 3, 3, lotvue::CsvFormat::kScientific, false},
      {{"--no-xls", "--csv", "--csv-format=value", "--range=1-12", "--only-pass"}, 1, 12, lotvue::CsvFormat::kValue, true},
      {{"--no-xls", "--csv", "--range", "12-12", "--all"}, 12, 12, lotvue::CsvFormat::kData, false},
  };
  for (const Case& c : cases) {
    fs::remove(csv);
    std::vector<std::string> args = {"convert"};
    args.insert(args.end(), c.flags.begin(), c.flags.end());
    args.push_back(a);
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, csv + "\n");
    EXPECT_EQ(Read(csv), ExpectedCsv(a, c.first, c.last, c.format, c.onlyPass));
  }
  EXPECT_FALSE(fs::exists(dir_ / "config" / "LotVuer.spec"));  // never written
}

TEST_F(CliTest, SettingsFileDecidesWithoutFlagsAndStaysAsItWas) {
  const std::string a = Lot("A.tsd");
  const std::string settings = "ConvertFileTypeXLS=No\r\nConvertFileTypeCSV=Yes\r\nCSVFormat=2\r\nextra line";
  Write(dir_ / "config" / "LotVuer.spec", settings);
  const CliRun run = Cli({"convert", a});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Read(lotvue::CsvPathOf(a)), ExpectedCsv(a, -1, -1, lotvue::CsvFormat::kValue));
  EXPECT_FALSE(fs::exists(dir_ / "lots" / "A.XLS"));
  EXPECT_EQ(Read(dir_ / "config" / "LotVuer.spec"), settings);
}

TEST_F(CliTest, DefaultSettingsWriteTheBook) {
#ifndef LOTVUE_HAVE_XLS
  GTEST_SKIP() << "built without the spreadsheet library";
#endif
  const std::string a = Lot("A.tsd");
  const CliRun run = Cli({"convert", a});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(LotFolder(), (std::vector<std::string>{"A.XLS", "A.tsd"}));
  const CliRun kinds = Cli({"convert", "--data", "--scientific", a});
  EXPECT_EQ(kinds.status, 0) << kinds.err;
  EXPECT_EQ(LotFolder(), (std::vector<std::string>{"A.XLS", "A.tsd", "A_Data.XLS", "A_Scientific.XLS"}));
}

TEST_F(CliTest, UsageErrors) {
  const std::string a = Lot("A.tsd");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"convert"},
           {"convert", "--bogus", a},
           {"convert", "--csv-format", "hex", a},
           {"convert", "--csv-format"},
           {"convert", "--range", "3", a},
           {"convert", "--range", "a-b", a},
           {"convert", "--range", "1-99999999999", a},
           {"convert", "--data", "--csv", a},
           {"convert", "--scientific", "--range", "1-2", a},
           {"fail-csv"},
           {"fail-csv", "--x", a},
           {"convert-folder"},
           {"convert-folder", a, a},
           {"no-such-command"}}) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
    EXPECT_NE(run.err, "");
  }
  EXPECT_EQ(LotFolder(), std::vector<std::string>{"A.tsd"});
  const CliRun help = Cli({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* word : {"convert ", "--range FIRST-LAST", "fail-csv", "convert-folder", "Exit status"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
  EXPECT_EQ(Cli({"convert", "--help"}).status, 0);
}

TEST_F(CliTest, RangeIsCheckedAsTheSetupDialogChecksIt) {
  const std::string a = Lot("A.tsd", 5);
  for (const char* range : {"0-3", "-1-3", "4-3", "1-6", "6-6"}) {
    const CliRun run = Cli({"convert", "--csv", "--no-xls", "--range", range, a});
    EXPECT_EQ(run.status, 1) << range;
    EXPECT_NE(run.err.find(a + ": Invalid"), std::string::npos) << run.err;
  }
  EXPECT_EQ(LotFolder(), std::vector<std::string>{"A.tsd"});
  EXPECT_EQ(Cli({"convert", "--csv", "--no-xls", "--range", "5-5", a}).status, 0);
}

TEST_F(CliTest, BadInputsFailWithTheirMessageAndTheOthersAreStillWritten) {
  const std::string good = Lot("A.tsd");
  const std::string wide = Lot("W.tsd", 3, 257);  // more than 256 items
  const std::string missing = (dir_ / "lots" / "M.tsd").string();
  const std::string other = Lot("notes.txt");
  const CliRun run = Cli({"convert", "--csv", "--no-xls", missing, wide, other, good});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, lotvue::CsvPathOf(good) + "\n");
  EXPECT_NE(run.err.find(missing + ": cannot be opened\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(wide + ": Is not TSD File\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(other + ": Is not TSD File\n"), std::string::npos) << run.err;
  EXPECT_EQ(LotFolder(), (std::vector<std::string>{"A.CSV", "A.tsd", "W.tsd", "notes.txt"}));
}

TEST_F(CliTest, UnwritableOutputKeepsTheOldFileAndSpeaksTheLanguage) {
  const std::string a = Lot("A.tsd");
  const std::string csv = lotvue::CsvPathOf(a);
  Write(csv, "old");
  fs::permissions(csv, fs::perms::owner_read);
  Write(dir_ / "config" / "Language.spec", "LOTvue=1");
  const CliRun run = Cli({"convert", "--csv", "--no-xls", a});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "lotvue-cli: " + a + ": 创建CSV文件失败\n");
  EXPECT_EQ(Read(csv), "old");
  EXPECT_EQ(LotFolder(), (std::vector<std::string>{"A.CSV", "A.tsd"}));

  const std::string fail = lotvue::FailCsvPath(a);
  Write(fail, "old fail");
  fs::permissions(fail, fs::perms::owner_read);
  EXPECT_EQ(Cli({"fail-csv", a}).status, 1);
  EXPECT_EQ(Read(fail), "old fail");
}

TEST_F(CliTest, FailCsvListsTheFailedDevices) {
  const std::string a = Lot("A.tsd", 40, 4, 0.3);
  const CliRun run = Cli({"fail-csv", a});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string path = (dir_ / "lots" / "A_Fail.CSV").string();
  EXPECT_EQ(run.out, path + "\n");
  const std::string text = Read(path);
  EXPECT_EQ(text, lotvue::FailCsvText(lotvue::FailRowsOf(*Load(a))));
  EXPECT_EQ(text.rfind("Number,Serial,Bin,", 0), 0u);
  EXPECT_NE(text.find("\r\n1,F"), std::string::npos);  // at least one failed device
}

TEST_F(CliTest, FolderConversionTakesTheResultFilesInNameOrder) {
  const std::string b = Lot("B.TSD");
  const std::string a = Lot("A.tsd");
  Lot("~C.tsd");
  Lot(".D.tsd");
  Lot("E.tsd.bak");
  fs::create_directory(dir_ / "lots" / "F.tsd");
  for (const std::string& target : {(dir_ / "lots").string(), a}) {
    const CliRun run = Cli({"convert-folder", "--csv", "--no-xls", target});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, lotvue::CsvPathOf(a) + "\n" + lotvue::CsvPathOf(b) + "\n");
  }
  EXPECT_EQ(Read(lotvue::CsvPathOf(b)), ExpectedCsv(b, -1, -1, lotvue::CsvFormat::kData));
  EXPECT_EQ(LotFolder(),
            (std::vector<std::string>{".D.tsd", "A.CSV", "A.tsd", "B.CSV", "B.TSD", "E.tsd.bak", "F.tsd", "~C.tsd"}));
  const CliRun notResult = Cli({"convert-folder", (dir_ / "lots" / "E.tsd.bak").string()});
  EXPECT_EQ(notResult.status, 1);
  EXPECT_EQ(Cli({"convert-folder", (dir_ / "nowhere").string()}).status, 1);
}

}  // namespace
