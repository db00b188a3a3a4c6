// lotvue-cli convert, fail-csv and convert-folder, run as a separate
// process on generated result files: exit status, messages and files, and
// what the files are after full disks, failing writes and kills.
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "core/csv_export.h"
#include "core/fail_list.h"
#include "core/result_file.h"
#include "core/stdf_export.h"
#include "core/xls_export.h"
#include "tests/core/lot_files.h"

namespace lotvue {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

struct CliRun {
  int status = -1;  // -1: ended by a signal
  std::string out, err;
  double seconds = 0;
  long maxRssKb = 0;  // peak resident memory of the run
};

// How a run is set up besides its arguments.
struct CliSetup {
  Names env;               // NAME=VALUE for the run
  rlim_t addressSpace = 0;  // a limit of the run's address space in bytes; 0 none
};

std::string Read(const fs::path& p) { return testing::ReadFileBytes(p); }

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
    dir_ = testing::TempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_ / "config");
    fs::create_directories(dir_ / "lots");
  }

  // Starts lotvue-cli with this test's Config folder; Finish waits for it.
  pid_t Start(const Names& args, const CliSetup& setup = {}) {
    started_ = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
      if (!freopen((dir_ / "out").c_str(), "w", stdout) || !freopen((dir_ / "err").c_str(), "w", stderr)) _exit(127);
      setenv("LOTVUE_CONFIG_DIR", (dir_ / "config").c_str(), 1);
      for (const std::string& e : setup.env) putenv(const_cast<char*>(e.c_str()));
      if (setup.addressSpace) {
        const rlimit limit{setup.addressSpace, setup.addressSpace};
        setrlimit(RLIMIT_AS, &limit);
      }
      alarm(120);  // a run that hangs ends as killed
      std::vector<char*> argv{const_cast<char*>(LOTVUE_CLI)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(LOTVUE_CLI, argv.data());
      _exit(127);
    }
    return child;
  }
  CliRun Finish(pid_t child) {
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started_;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(dir_ / "out"), Read(dir_ / "err"), took.count(),
            usage.ru_maxrss};
  }
  CliRun Cli(const Names& args, const CliSetup& setup = {}) { return Finish(Start(args, setup)); }
  std::string Lot(const std::string& name, int devices = 12, int items = 5) {
    tsd::WriteFile((dir_ / "lots" / name).string(),
                   tsd::GenerateLot({.seed = 11, .devices = devices, .items = items, .failShare = 0.3}));
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
  std::chrono::steady_clock::time_point started_;
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
  // --stdf: the whole lot as A.stdf too, whatever the range; a folder in its way fails the run.
  fs::create_directory(dir_ / "lots" / "A.stdf");
  EXPECT_EQ(Cli({"convert", "--stdf", a}).status, 1);
  fs::remove(dir_ / "lots" / "A.stdf");
  EXPECT_EQ(Cli({"convert", "--stdf", "--range", "2-3", a}).out, CsvPathOf(a) + "\n" + StdfPathOf(a) + "\n");
  struct stat st {};
  stat(a.c_str(), &st);
  std::string stdf;
  ReplacingWriter out(&stdf);
  WriteStdf(*Load(a), static_cast<std::uint32_t>(st.st_mtime), out);
  out.Commit();
  EXPECT_EQ(Read(StdfPathOf(a)), stdf);
  // fail-csv: the core's fail CSV text, with at least one failed device.
  const CliRun fail = Cli({"fail-csv", a});
  EXPECT_EQ(fail.status, 0) << fail.err;
  EXPECT_EQ(fail.out, FailCsvPath(a) + "\n");
  EXPECT_EQ(Read(FailCsvPath(a)), FailCsvText(FailRowsOf(*Load(a))));
  EXPECT_NE(Read(FailCsvPath(a)).find("\r\n1,F"), std::string::npos);
  EXPECT_EQ(Read(dir_ / "config" / "LotVuer.spec"), settings);
  EXPECT_EQ(LotFolder(), (Names{"A.CSV", "A.stdf", "A.tsd", "A_Fail.CSV"}));
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
           {"convert", "--data", "--csv", a}, {"convert", "--scientific", "--stdf", a},
           {"convert", "--scientific", "--range", "1-2", a}, {"fail-csv"}, {"fail-csv", "--x", a}, {"convert-folder"},
           {"convert-folder", a, a}, {"no-such-command"}, {"stats"}, {"stats", "--format", "xml", a}, {"bins", "--format"},
           {"stats", a, a}, {"stats", "--bogus", a}}) {
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
  const CliRun bins = Cli({"bins", "--help"});
  EXPECT_EQ(bins.status, 0);
  EXPECT_TRUE(bins.out.starts_with("bins [--only-pass|--all] [--format csv|json] FILE\n")) << bins.out;
}

// Only regular files are read; everything else is refused at once.
TEST_F(CliTest, BadInputsFailAtOnceWithTheirMessageAndTheOthersAreStillWritten) {
  const std::string good = Lot("A.tsd");
  const std::string wide = Lot("W.tsd", 3, 257);  // more than 256 items
  const std::string other = Lot("notes.txt");
  const std::string lots = (dir_ / "lots").string();
  const Names unreadable = {lots + "/M.tsd", lots + "/F.tsd", lots + "/S.tsd", lots + "/Z.tsd", lots + "/D.tsd"};
  ASSERT_EQ(mkfifo(unreadable[1].c_str(), 0644), 0);  // a FIFO nobody writes to
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, unreadable[2].c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << unreadable[2];
  fs::create_symlink("/dev/zero", unreadable[3]);
  fs::create_directory(unreadable[4]);
  Names args = {"convert", "--csv", "--no-xls"};
  args.insert(args.end(), unreadable.begin(), unreadable.end());
  args.insert(args.end(), {wide, other, good});
  const CliRun run = Cli(args);
  close(sock);
  EXPECT_EQ(run.status, 1);
  EXPECT_LT(run.seconds, 20);
  EXPECT_EQ(run.out, CsvPathOf(good) + "\n");
  std::string expected;
  for (const std::string& path : unreadable) expected += "lotvue-cli: Cannot open the file: " + path + "\n";
  EXPECT_EQ(run.err, expected + "lotvue-cli: " + wide + ": Is not TSD File\nlotvue-cli: " + other + ": Is not TSD File\n");
  EXPECT_EQ(LotFolder(), (Names{"A.CSV", "A.tsd", "D.tsd", "F.tsd", "S.tsd", "W.tsd", "Z.tsd", "notes.txt"}));
}

// The records end at the first serial number below 1: what follows is never
// read, so three gigabytes of zeros after a small lot cost no memory. A lot
// that does not fit is a message, not an abort.
TEST_F(CliTest, MemoryFollowsTheLotNotTheFile) {
  const std::string plain = Lot("P.tsd", 20, 4);
  const std::string sparse = Lot("S.tsd", 20, 4);
  fs::resize_file(sparse, std::uintmax_t{3} << 30);
  const CliRun small = Cli({"dump", plain});
  const CliRun big = Cli({"dump", sparse});
  EXPECT_EQ(big.status, 0) << big.err;
  EXPECT_EQ(big.out.substr(big.out.find("[items]")), small.out.substr(small.out.find("[items]")));
  EXPECT_LT(big.maxRssKb, small.maxRssKb + 16 * 1024) << "peak KB beside " << small.maxRssKb;
  EXPECT_LT(big.seconds, small.seconds + 5);

  if (kSanitized) return;  // AddressSanitizer needs more address space than the limit below
  const std::string large = Lot("L.tsd", 200000, 32);  // about 150 MB of cells
  const CliRun cramped = Cli({"convert", "--no-xls", "--no-csv", large}, {{}, rlim_t{96} << 20});
  EXPECT_EQ(cramped.status, 1);
  EXPECT_EQ(cramped.err, "lotvue-cli: Not enough memory to load " + large + "\n");
}

// Every output on a disk that fills up or fails, or that cannot be replaced
// (read-only, as a read-only file cannot be deleted on the systems the files
// travel to): the run names the file and the reason in the language of the
// Config folder and exits 1; the old file stays, with nothing beside it.
TEST_F(CliTest, WriteFailuresKeepTheOldFile) {
  const std::string a = Lot("A.tsd", 3000, 40);  // an STDF file of two buffers, one written directly
  Config("Language.spec", "LOTvue=1");
  struct Output {
    Names args;
    std::string file;
  };
  const Output outputs[] = {{{"convert", "--csv", "--no-xls"}, CsvPathOf(a)},
                            {{"fail-csv"}, FailCsvPath(a)},
                            {{"convert", "--stdf", "--no-csv", "--no-xls"}, StdfPathOf(a)},
                            {{"convert", "--xls", "--no-csv"}, TwoSheetBookPath(a)},
                            {{"convert", "--data"}, OneKindBookPath(a, kKindData)},
                            {{"convert", "--scientific"}, OneKindBookPath(a, kKindScientific)}};
  for (const Output& o : outputs) std::ofstream(o.file) << "old";
  const Names before = LotFolder();
  const struct {
    const char* call;  // "read-only": no fault, the old file read-only
    int error;
    const char* after;
  } faults[] = {{"write", ENOSPC, "0"}, {"write", EIO, "20000"}, {"fsync", EIO, "0"}, {"close", ENOSPC, "0"},
                {"read-only", EACCES, "0"}};
  for (const Output& o : outputs) {
    for (const auto& f : faults) {
      Names args = o.args;
      args.push_back(a);
      const std::string label = o.file + " " + f.call + " " + f.after;
      const bool readOnly = std::string(f.call) == "read-only";
      if (readOnly) fs::permissions(o.file, fs::perms::owner_read);
      const CliRun run = Cli(args, {{"LD_PRELOAD=" WRITE_FAULTS_LIBRARY, "LOTVUE_FAULT_DIR=" + (dir_ / "lots").string(),
                                     std::string("LOTVUE_FAULT=") + (readOnly ? "none" : f.call),
                                     "LOTVUE_FAULT_ERRNO=" + std::to_string(f.error),
                                     std::string("LOTVUE_FAULT_AFTER=") + f.after}});
      EXPECT_EQ(run.status, 1) << label;
      const std::string reason = o.file + ": " + std::strerror(f.error) + ")\n";
      if (o.file == CsvPathOf(a)) {
        EXPECT_EQ(run.err, "lotvue-cli: " + a + ": 创建CSV文件失败 (" + reason) << label;
      }
      if (o.file == StdfPathOf(a)) {
        EXPECT_EQ(run.err, "lotvue-cli: " + a + ": The STDF file " + o.file + " cannot be written: " +
                               std::strerror(f.error) + "\n") << label;
      } else {
        EXPECT_NE(run.err.find(reason), std::string::npos) << label << run.err;
      }
      EXPECT_EQ(run.out, "") << label;
      EXPECT_TRUE(Read(o.file) == "old") << label;
      EXPECT_EQ(LotFolder(), before) << label;
    }
  }
}

// A kill at any moment of a long conversion leaves each old file as it was
// (or, once that one is done, the new one whole) and nothing visible beside
// them; the next run writes both and removes what the killed ones left.
TEST_F(CliTest, KilledConversionsLeaveWholeFiles) {
  const std::string a = Lot("A.tsd", 40000, 32);
  const Names args = {"convert", "--xls", "--csv", "--csv-format", "scientific", a};
  const CliRun whole = Cli(args);
  ASSERT_EQ(whole.status, 0) << whole.err;
  const Names written = LotFolder();
  const std::string book = Read(TwoSheetBookPath(a)), csv = Read(CsvPathOf(a));
  for (double at : {0.15, 0.35, 0.55, 0.75, 0.95}) {
    for (const std::string& path : {TwoSheetBookPath(a), CsvPathOf(a)}) std::ofstream(path) << "old";
    const pid_t child = Start(args);
    std::this_thread::sleep_for(std::chrono::duration<double>(whole.seconds * at));
    kill(child, SIGKILL);
    Finish(child);
    const std::string nowBook = Read(TwoSheetBookPath(a)), nowCsv = Read(CsvPathOf(a));
    EXPECT_TRUE(nowBook == "old" || nowBook == book) << at;
    EXPECT_TRUE(nowCsv == "old" || (nowCsv == csv && nowBook == book)) << at;
    Names visible;
    for (const std::string& name : LotFolder())
      if (name[0] != '.') visible.push_back(name);
    EXPECT_EQ(visible, written) << at;
  }
  EXPECT_EQ(Cli(args).status, 0);
  EXPECT_EQ(LotFolder(), written);
  EXPECT_EQ(Read(TwoSheetBookPath(a)), book);
  EXPECT_EQ(Read(CsvPathOf(a)), csv);
}

// The longest name a folder takes still gets its book and CSV file.
TEST_F(CliTest, LongestNamesAreWritten) {
  const std::string a = Lot(std::string(251, 'n') + ".tsd", 3, 4);  // 255 bytes
  std::ofstream(TwoSheetBookPath(a)) << "old";
  const CliRun run = Cli({"convert", "--csv", "--xls", a});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, TwoSheetBookPath(a) + "\n" + CsvPathOf(a) + "\n");
  EXPECT_NE(Read(TwoSheetBookPath(a)), "old");
}

// 0 written, 1 a file failed (that wins), 2 usage, 3 written without some
// cells. A range outside the lot fails as the setup dialog refuses it.
TEST_F(CliTest, ExitStatusSaysWhatWasWritten) {
  const std::string a = Lot("A.tsd", 5);
  for (const char* range : {"0-3", "-1-3", "4-3", "1-6", "6-6"}) {
    const CliRun run = Cli({"convert", "--csv", "--no-xls", "--range", range, a});
    EXPECT_EQ(run.status, 1) << range;
    EXPECT_NE(run.err.find(a + ": Invalid"), std::string::npos) << run.err;
  }
  EXPECT_EQ(LotFolder(), Names{"A.tsd"});
  // (Status 0, 2, and 1 alone: DefaultSettingsWriteTheBook, UsageErrorsAndHelp, BadInputsFailAtOnce...)
  const std::string wide = Lot("W.tsd", 3, 255);  // 257 columns, one more than a sheet has
  const std::string missing = (dir_ / "lots" / "M.tsd").string();
  const std::pair<Names, int> cases[] = {
      {{"convert", wide, a}, 3}, {{"convert", "--data", wide}, 3}, {{"convert", wide, missing}, 1}};
  for (const auto& [args, status] : cases) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, status) << ::testing::PrintToString(args) << run.err;
  }
  EXPECT_NE(Cli({"convert", wide}).err.find("were left out"), std::string::npos);
}

// Files converted side by side: the same files, and the same messages and
// names in the same order, as one after the other; the result files are
// taken in name order, a file names its folder; bad job counts are usage.
TEST_F(CliTest, FolderConversionInParallelWritesAndPrintsAsOneJob) {
  Names written;
  std::string first;
  for (int i = 0; i < 6; ++i) {
    const std::string name = std::string(1, static_cast<char>('A' + i)) + (i == 1 ? ".TSD" : ".tsd");
    const std::string lot = Lot(name, 20 + 37 * i, 4 + i);
    if (i == 0) first = lot;
    written.insert(written.end(), {TwoSheetBookPath(lot), CsvPathOf(lot)});
  }
  const std::string wide = Lot("W.tsd", 3, 255);  // cells left out: status 3
  written.insert(written.end(), {TwoSheetBookPath(wide), CsvPathOf(wide)});
  std::ofstream(dir_ / "lots" / "N.tsd") << "not a result file";  // status 1
  fs::create_directory(dir_ / "lots" / "Z.tsd");
  for (const char* skipped : {"~C.tsd", ".D.tsd", "E.tsd.bak"}) Lot(skipped);
  const std::string folder = (dir_ / "lots").string();
  const CliRun one = Cli({"convert-folder", "--csv", "--xls", "-j", "1", folder});
  EXPECT_EQ(one.status, 1);
  EXPECT_NE(one.err.find("N.tsd"), std::string::npos);
  std::string names;
  for (const std::string& path : written) names += path + "\n";
  EXPECT_EQ(one.out, names);
  std::vector<std::string> files;
  for (const std::string& path : written) files.push_back(Read(path));
  EXPECT_EQ(files[1], ExpectedCsv(first, -1, -1, CsvFormat::kData));
  for (const Names& jobs : {Names{"-j", "2"}, Names{"-j3"}, Names{"--jobs=8"}, Names{}}) {
    for (const std::string& path : written) fs::remove(path);
    Names args{"convert-folder", "--csv", "--xls"};
    args.insert(args.end(), jobs.begin(), jobs.end());
    args.push_back(jobs.empty() ? first : folder);
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, one.status) << ::testing::PrintToString(jobs);
    EXPECT_EQ(run.out, one.out) << ::testing::PrintToString(jobs);
    EXPECT_EQ(run.err, one.err) << ::testing::PrintToString(jobs);
    for (std::size_t i = 0; i < written.size(); ++i) EXPECT_TRUE(Read(written[i]) == files[i]) << written[i];
  }
  for (const char* bad : {"0", "x", "2x", "-1", "1025"}) {
    const CliRun run = Cli({"convert-folder", "-j", bad, folder});
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_NE(run.err.find("number of jobs"), std::string::npos) << bad;
  }
  for (const fs::path& target : {dir_ / "lots" / "E.tsd.bak", dir_ / "nowhere"}) {
    EXPECT_EQ(Cli({"convert-folder", target.string()}).status, 1) << target;
  }
  EXPECT_EQ(LotFolder().size(), written.size() + 12) << "nothing beside the books and CSV files of the lots";
}

// A lot for stats and bins: names that need quoting or decoding, a special
// item, a failed device, an item with no value.
std::string StatsLot(const fs::path& path) {
  tsd::TsdBuilder b;
  b.AddItem("V,TH", 'V').Limits(1000, 12, 3000, 12);
  b.AddItem("PINS", 0, kPinMaskItem);
  b.AddItem("I\"D", '"');
  b.AddItem("\xB5\xE7\xD1\xB9", 'A');  // GB18030 bytes
  b.AddDevice(1, 1, 0, {{2000, 0x10, 12}, {}, {0, 0x14, 12}, {641, 0x10, 9}});  // " 0.641mA"
  b.AddDevice(2, 3, 1, {{4000, 0x11, 12}, {}, {0, 0x14, 12}, {2500, 0x10, 12}});
  tsd::WriteFile(path.string(), b.Bytes());
  return path.string();
}

TEST_F(CliTest, StatsAndBinsAsCsvAndJsonAndTheirExitStatus) {
  const std::string a = StatsLot(dir_ / "lots" / "A.tsd");
  const std::string header = "Item,Name,Unit,LSL,USL,N,Fails,FailPct,Mean,Median,Stdev,Min,Max,Cp,Cpk\n";
  struct Case {
    Names args;
    std::string out;
  };
  for (const Case& c : std::vector<Case>{
           {{"stats", "--format=csv", a},
            header + "1,\"V,TH\",V,1,3,2,1,50,3,3,1.4142135623730951,2,4,0.2357022603955158,0\n"
                     "3,\"I\"\"D\",\"\"\"\",0,0,0,0,0,,,,,,,\n"
                     "4,\xB5\xE7\xD1\xB9,A,0,0,2,0,0,1.2503205,1.2503205,1.7673136975196284,0.000641,2.5,0,-0.2358231595131804\n"},
           {{"stats", "--format", "json", "--only-pass", a},
            "[\n  {\"Item\": 1, \"Name\": \"V,TH\", \"Unit\": \"V\", \"LSL\": 1, \"USL\": 3, \"N\": 1, \"Fails\": 0, "
            "\"FailPct\": 0, \"Mean\": 2, \"Median\": 2, \"Stdev\": null, \"Min\": 2, \"Max\": 2, \"Cp\": null, "
            "\"Cpk\": null},\n  {\"Item\": 3, \"Name\": \"I\\\"D\", \"Unit\": \"\\\"\", \"LSL\": 0, \"USL\": 0, \"N\": 0, "
            "\"Fails\": 0, \"FailPct\": 0, \"Mean\": null, \"Median\": null, \"Stdev\": null, \"Min\": null, "
            "\"Max\": null, \"Cp\": null, \"Cpk\": null},\n  {\"Item\": 4, \"Name\": \"电压\", \"Unit\": \"A\", "
            "\"LSL\": 0, \"USL\": 0, \"N\": 1, \"Fails\": 0, \"FailPct\": 0, \"Mean\": 0.000641, \"Median\": 0.000641, "
            "\"Stdev\": null, \"Min\": 0.000641, \"Max\": 0.000641, \"Cp\": null, \"Cpk\": null}\n]\n"},
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

  // A file that cannot be read: the reader's message, status 1 (usage errors: UsageErrorsAndHelp).
  const std::string missing = (dir_ / "lots" / "M.tsd").string();
  const CliRun gone = Cli({"stats", missing});
  EXPECT_EQ(gone.status, 1);
  EXPECT_EQ(gone.err, "lotvue-cli: Cannot open the file: " + missing + "\n");
  EXPECT_EQ(Cli({"bins", Lot("W.tsd", 3, 257)}).status, 1);
}

}  // namespace
}  // namespace lotvue
