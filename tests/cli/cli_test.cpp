// lotvue-cli convert, fail-csv and convert-folder, run as a separate
// process on generated result files: exit status, messages and files.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "core/csv_export.h"
#include "core/fail_list.h"
#include "core/result_file.h"
#include "tools/tsd_writer.h"

namespace lotvue {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

struct CliRun {
  int status = -1;
  std::string out, err;
};

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::unique_ptr<LotData> Load(const std::string& path, bool onlyPass = false) {
  auto lot = std::make_unique<LotData>();
  lot->path = path;
  SilentReaderEvents events;
  LoadResultFile(*lot, ReadOptions{onlyPass}, events);
  return lot;
}

// What the core writes for the same file.
std::string ExpectedCsv(const std::string& path, int first, int last, CsvFormat format, bool onlyPass = false) {
  auto lot = Load(path, onlyPass);
  const CellRange r = DeviceCellRange(*lot, first, last);
  return CsvText(*lot, r.firstCell, r.endCell, format);
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("lotvue-cli-" + std::to_string(getpid()) + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config");
    fs::create_directories(dir_ / "lots");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs lotvue-cli with this test's Config folder.
  CliRun Cli(const Names& args) {
    const pid_t child = fork();
    if (child == 0) {
      if (!freopen((dir_ / "out").c_str(), "w", stdout) || !freopen((dir_ / "err").c_str(), "w", stderr)) _exit(127);
      setenv("LOTVUE_CONFIG_DIR", (dir_ / "config").c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(LOTVUE_CLI)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(LOTVUE_CLI, argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(dir_ / "out"), Read(dir_ / "err")};
  }
  std::string Lot(const std::string& name, int devices = 12, int items = 5) {
    tsd::GenerateOptions o;
    o.seed = 11;
    o.devices = devices;
    o.items = items;
    o.failShare = 0.3;
    tsd::WriteFile((dir_ / "lots" / name).string(), tsd::GenerateLot(o));
    return (dir_ / "lots" / name).string();
  }
  Names LotFolder() const {  // hidden names too: a temporary file would show
    Names names;
    for (const auto& e : fs::directory_iterator(dir_ / "lots")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  void Config(const std::string& name, const std::string& bytes) { std::ofstream(dir_ / "config" / name) << bytes; }

  fs::path dir_;
};

TEST_F(CliTest, FlagsOverrideTheSettingsFileForTheRunOnly) {
  const std::string a = Lot("A.tsd");
  const std::string settings = "ConvertFileTypeXLS=No\r\nConvertFileTypeCSV=Yes\r\nCSVFormat=2\r\nextra line";
  Config("LotVuer.spec", settings);
  struct Case {
    Names flags;
    int first, last;
    CsvFormat format;
    bool onlyPass;
  };
  for (const Case& c : std::vector<Case>{
           {{}, -1, -1, CsvFormat::kValue, false},
           {{"--csv-format", "scientific", "--range", "3-3"}, 3, 3, CsvFormat::kScientific, false},
           {{"--csv-format=data", "--range=1-12", "--only-pass"}, 1, 12, CsvFormat::kData, true},
           {{"--no-xls", "--csv", "--range", "12-12", "--all"}, 12, 12, CsvFormat::kValue, false}}) {
    Names args = {"convert"};
    args.insert(args.end(), c.flags.begin(), c.flags.end());
    args.push_back(a);
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, CsvPathOf(a) + "\n");
    EXPECT_EQ(Read(CsvPathOf(a)), ExpectedCsv(a, c.first, c.last, c.format, c.onlyPass));
  }
  EXPECT_EQ(Read(dir_ / "config" / "LotVuer.spec"), settings);
  EXPECT_EQ(LotFolder(), (Names{"A.CSV", "A.tsd"}));
}

TEST_F(CliTest, DefaultSettingsWriteTheBook) {
  const std::string a = Lot("A.tsd");
  const CliRun run = Cli({"convert", a});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Cli({"convert", "--data", "--scientific", a}).status, 0);
  EXPECT_EQ(LotFolder(), (Names{"A.XLS", "A.tsd", "A_Data.XLS", "A_Scientific.XLS"}));
  // --xlsx: the same books as XLSX, beside the types the settings or flags ask for.
  const std::string base = a.substr(0, a.size() - 3);
  EXPECT_EQ(Cli({"convert", "--xlsx", "--csv", "--range", "2-3", a}).out,
            base + "XLS\n" + base + "xlsx\n" + base + "CSV\n");
  EXPECT_EQ(Cli({"convert", "--data", "--xlsx", "--scientific", a}).out,
            base.substr(0, base.size() - 1) + "_Data.xlsx\n" + base.substr(0, base.size() - 1) + "_Scientific.xlsx\n");
  EXPECT_EQ(LotFolder(), (Names{"A.CSV", "A.XLS", "A.tsd", "A.xlsx", "A_Data.XLS", "A_Data.xlsx", "A_Scientific.XLS",
                                "A_Scientific.xlsx"}));
  EXPECT_FALSE(fs::exists(dir_ / "config" / "LotVuer.spec"));  // never written
}

TEST_F(CliTest, UsageErrorsAndHelp) {
  const std::string a = Lot("A.tsd");
  for (const Names& args : std::vector<Names>{
           {"convert"}, {"convert", "--bogus", a}, {"convert", "--csv-format", "hex", a}, {"convert", "--csv-format"},
           {"convert", "--range", "3", a}, {"convert", "--range", "a-b", a}, {"convert", "--range", "1-99999999999", a},
           {"convert", "--data", "--csv", a}, {"convert", "--scientific", "--range", "1-2", a}, {"fail-csv"},
           {"fail-csv", "--x", a}, {"convert-folder"}, {"convert-folder", a, a}, {"no-such-command"}}) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
    EXPECT_NE(run.err, "");
  }
  EXPECT_EQ(LotFolder(), Names{"A.tsd"});
  const CliRun help = Cli({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* word : {"convert ", "--range FIRST-LAST", "fail-csv", "convert-folder", "Exit status"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
}

TEST_F(CliTest, RangeIsCheckedAsTheSetupDialogChecksIt) {
  const std::string a = Lot("A.tsd", 5);
  for (const char* range : {"0-3", "-1-3", "4-3", "1-6", "6-6"}) {
    const CliRun run = Cli({"convert", "--csv", "--no-xls", "--range", range, a});
    EXPECT_EQ(run.status, 1) << range;
    EXPECT_NE(run.err.find(a + ": Invalid"), std::string::npos) << run.err;
  }
  EXPECT_EQ(LotFolder(), Names{"A.tsd"});
  EXPECT_EQ(Cli({"convert", "--csv", "--no-xls", "--range", "5-5", a}).status, 0);
}

TEST_F(CliTest, BadInputsFailWithTheirMessageAndTheOthersAreStillWritten) {
  const std::string good = Lot("A.tsd");
  const std::string wide = Lot("W.tsd", 3, 257);  // more than 256 items
  const std::string missing = (dir_ / "lots" / "M.tsd").string();
  const std::string other = Lot("notes.txt");
  const CliRun run = Cli({"convert", "--csv", "--no-xls", missing, wide, other, good});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, CsvPathOf(good) + "\n");
  EXPECT_EQ(run.err, "lotvue-cli: " + missing + ": cannot be opened\nlotvue-cli: " + wide +
                         ": Is not TSD File\nlotvue-cli: " + other + ": Is not TSD File\n");
  EXPECT_EQ(LotFolder(), (Names{"A.CSV", "A.tsd", "W.tsd", "notes.txt"}));
}

TEST_F(CliTest, UnwritableOutputKeepsTheOldFileAndSpeaksTheLanguage) {
  const std::string a = Lot("A.tsd");
  for (const std::string& path : {CsvPathOf(a), FailCsvPath(a)}) {
    std::ofstream(path) << "old";
    fs::permissions(path, fs::perms::owner_read);
  }
  Config("Language.spec", "LOTvue=1");
  const CliRun run = Cli({"convert", "--csv", "--no-xls", a});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "lotvue-cli: " + a + ": 创建CSV文件失败\n");
  EXPECT_EQ(Cli({"fail-csv", a}).status, 1);
  EXPECT_EQ(Read(CsvPathOf(a)) + Read(FailCsvPath(a)), "oldold");
  EXPECT_EQ(LotFolder(), (Names{"A.CSV", "A.tsd", "A_Fail.CSV"}));
}

TEST_F(CliTest, FailCsvListsTheFailedDevices) {
  const std::string a = Lot("A.tsd", 40, 4);
  const CliRun run = Cli({"fail-csv", a});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, FailCsvPath(a) + "\n");
  const std::string text = Read(FailCsvPath(a));
  EXPECT_EQ(text, FailCsvText(FailRowsOf(*Load(a))));
  EXPECT_NE(text.find("\r\n1,F"), std::string::npos);  // at least one failed device
}

TEST_F(CliTest, FolderConversionTakesTheResultFilesInNameOrder) {
  const std::string b = Lot("B.TSD");
  const std::string a = Lot("A.tsd");
  for (const char* skipped : {"~C.tsd", ".D.tsd", "E.tsd.bak"}) Lot(skipped);
  fs::create_directory(dir_ / "lots" / "F.tsd");
  for (const std::string& target : {(dir_ / "lots").string(), a}) {
    const CliRun run = Cli({"convert-folder", "--csv", "--no-xls", target});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, CsvPathOf(a) + "\n" + CsvPathOf(b) + "\n");
  }
  EXPECT_EQ(Read(CsvPathOf(b)), ExpectedCsv(b, -1, -1, CsvFormat::kData));
  EXPECT_EQ(LotFolder(), (Names{".D.tsd", "A.CSV", "A.tsd", "B.CSV", "B.TSD", "E.tsd.bak", "F.tsd", "~C.tsd"}));
  EXPECT_EQ(Cli({"convert-folder", (dir_ / "lots" / "E.tsd.bak").string()}).status, 1);
  EXPECT_EQ(Cli({"convert-folder", (dir_ / "nowhere").string()}).status, 1);
}

// A lot for stats and bins: names that need quoting or decoding, a special
// item, a failed device, an item with no value.
std::string StatsLot(const fs::path& path) {
  tsd::TsdBuilder b;
  b.AddItem("V,TH", 'V').Limits(1000, 12, 3000, 12);
  b.AddItem("PINS", 0, kPinMaskItem);
  b.AddItem("I\"D", '"');
  b.AddItem("\xB5\xE7\xD1\xB9", 'A');  // GB18030 bytes
  b.AddDevice(1, 1, 0, {{2000, 0x10, 12}, {}, {0, 0x14, 12}, {1500, 0x10, 12}});
  b.AddDevice(2, 3, 1, {{4000, 0x11, 12}, {}, {0, 0x14, 12}, {2500, 0x10, 12}});
  tsd::WriteFile(path.string(), b.Bytes());
  return path.string();
}

TEST_F(CliTest, StatsAndBinsAsCsvAndJson) {
  const std::string a = StatsLot(dir_ / "lots" / "A.tsd");
  const std::string header = "Item,Name,Unit,LSL,USL,N,Fails,FailPct,Mean,Median,Stdev,Min,Max,Cp,Cpk\n";
  struct Case {
    Names args;
    std::string out;
  };
  for (const Case& c : std::vector<Case>{
           {{"stats", a},
            header + "1,\"V,TH\",V,1,3,2,1,50,3,3,1.4142135623730951,2,4,0.2357022603955158,0\n"
                     "3,\"I\"\"D\",\"\"\"\",0,0,0,0,0,,,,,,,\n"
                     "4,\xB5\xE7\xD1\xB9,A,0,0,2,0,0,2,2,0.7071067811865476,1.5,2.5,0,-0.9428090415820632\n"},
           {{"stats", "--only-pass", "--format=csv", a},
            header + "1,\"V,TH\",V,1,3,1,0,0,2,2,,2,2,,\n3,\"I\"\"D\",\"\"\"\",0,0,0,0,0,,,,,,,\n"
                     "4,\xB5\xE7\xD1\xB9,A,0,0,1,0,0,1.5,1.5,,1.5,1.5,,\n"},
           {{"stats", "--format", "json", "--only-pass", a},
            "[\n  {\"Item\": 1, \"Name\": \"V,TH\", \"Unit\": \"V\", \"LSL\": 1, \"USL\": 3, \"N\": 1, \"Fails\": 0, "
            "\"FailPct\": 0, \"Mean\": 2, \"Median\": 2, \"Stdev\": null, \"Min\": 2, \"Max\": 2, \"Cp\": null, "
            "\"Cpk\": null},\n  {\"Item\": 3, \"Name\": \"I\\\"D\", \"Unit\": \"\\\"\", \"LSL\": 0, \"USL\": 0, \"N\": 0, "
            "\"Fails\": 0, \"FailPct\": 0, \"Mean\": null, \"Median\": null, \"Stdev\": null, \"Min\": null, "
            "\"Max\": null, \"Cp\": null, \"Cpk\": null},\n  {\"Item\": 4, \"Name\": \"电压\", \"Unit\": \"A\", "
            "\"LSL\": 0, \"USL\": 0, \"N\": 1, \"Fails\": 0, \"FailPct\": 0, \"Mean\": 1.5, \"Median\": 1.5, "
            "\"Stdev\": null, \"Min\": 1.5, \"Max\": 1.5, \"Cp\": null, \"Cpk\": null}\n]\n"},
           {{"bins", a}, "Bin,Count,Passed,Failed,Percent\n1,1,1,0,50\n3,1,0,1,50\n"},
           {{"bins", "--only-pass", "--format", "json", a},
            "[\n  {\"Bin\": 1, \"Count\": 1, \"Passed\": 1, \"Failed\": 0, \"Percent\": 100}\n]\n"}}) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.out) << ::testing::PrintToString(c.args);
  }
  // The settings file's AvgStdOnlyPass is the default; --all overrides it.
  Config("LotVuer.spec", "AvgStdOnlyPass=Yes");
  EXPECT_EQ(Cli({"bins", a}).out, "Bin,Count,Passed,Failed,Percent\n1,1,1,0,100\n");
  EXPECT_EQ(Cli({"bins", "--all", a}).out, "Bin,Count,Passed,Failed,Percent\n1,1,1,0,50\n3,1,0,1,50\n");
}

TEST_F(CliTest, StatsAndBinsExitStatus) {
  const std::string a = StatsLot(dir_ / "lots" / "A.tsd");
  const std::string missing = (dir_ / "lots" / "M.tsd").string();
  const std::string wide = Lot("W.tsd", 3, 257);
  for (const std::string command : {"stats", "bins"}) {
    for (const auto& [args, status] : std::vector<std::pair<Names, int>>{
             {{missing}, 1}, {{wide}, 1}, {{}, 2}, {{"--format", "xml", a}, 2}, {{"--format"}, 2}, {{a, a}, 2},
             {{"--bogus", a}, 2}, {{"--help"}, 0}}) {
      Names all = {command};
      all.insert(all.end(), args.begin(), args.end());
      const CliRun run = Cli(all);
      EXPECT_EQ(run.status, status) << ::testing::PrintToString(all);
      EXPECT_EQ(run.out.starts_with(command + " [--only-pass|--all] [--format csv|json] FILE\n"), status == 0) << run.out;
      EXPECT_EQ(run.err.empty(), status == 0) << run.err;
    }
  }
  EXPECT_EQ(Cli({"stats", missing}).err, "lotvue-cli: cannot open " + missing + "\n");
}

}  // namespace
}  // namespace lotvue
