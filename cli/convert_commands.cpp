// lotvue-cli convert, fail-csv and convert-folder: the conversions of the
// report window and of "Convert All Files", run on files named on the
// command line with the settings file's preferences (flags override them
// for the run; the settings file is never written).
#include "cli/convert_commands.h"

#include <sys/stat.h>

#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_events.h"
#include "core/app_settings.h"
#include "core/convert.h"
#include "core/csv_export.h"
#include "core/fail_list.h"
#include "core/folder_list.h"
#include "core/language.h"
#include "core/lot_data.h"
#include "core/result_file.h"
#include "core/stdf_export.h"
#include "core/value_text.h"
#include "core/xls_export.h"
#include "core/xlsx_export.h"

namespace lotvue::cli {

const char* const kConvertHelp =
    "convert [--csv|--no-csv] [--xls|--no-xls] [--xlsx] [--csv-format data|scientific|value]\n"
    "        [--only-pass|--all] [--range FIRST-LAST] [--stdf] FILE...\n"
    "      Loads each result file and converts it as the Convert command of its\n"
    "      window does: the XLS book (A.tsd gives A.XLS, sheets Data and\n"
    "      Scientific) and the CSV file (A.CSV), each when its type is switched\n"
    "      on; an old file is replaced only by a complete new one. Without\n"
    "      flags the settings file decides (by default XLS on, CSV off, format\n"
    "      data). --range converts devices FIRST to LAST only (1-based positions\n"
    "      in the file, both included; 1 <= FIRST <= LAST <= number of devices,\n"
    "      else \"Invalid\"). --only-pass / --all: Average and STDEV over passed\n"
    "      devices only, or over all (default: the AvgStdOnlyPass setting).\n"
    "      The names of the files written are printed on stdout.\n"
    "      --xlsx also writes the same two sheets as A.xlsx, which holds up to\n"
    "      1,048,576 rows and 16,384 columns a sheet.\n"
    "      --stdf also writes the whole lot (whatever --range says) as the STDF V4\n"
    "      file A.stdf, for the STDF tools.\n"
    "  convert --data FILE...  |  convert --scientific FILE...  [--xlsx]\n"
    "      The one-kind book of the whole lot instead: A_Data.XLS with every\n"
    "      value as text, or A_Scientific.XLS with the values as numbers\n"
    "      (65000 devices a sheet); with --xlsx A_Data.xlsx or A_Scientific.xlsx\n"
    "      instead (1,000,000 devices a sheet). Only --only-pass/--all go with these.\n";

const char* const kFailCsvHelp =
    "fail-csv FILE...\n"
    "      Writes the fail list (A.tsd gives A_Fail.CSV): the title row and every\n"
    "      failed device, numbered.\n";

const char* const kConvertFolderHelp =
    "convert-folder [--csv|--no-csv] [--xls|--no-xls] [--csv-format F] [--only-pass|--all]\n"
    "               [-j JOBS] FILE_OR_FOLDER\n"
    "      Converts every result file of the folder (or of the folder that holds\n"
    "      FILE, which must end in \"tsd\") as convert does: the names ending in\n"
    "      \".tsd\" in any letter case, except those beginning with \"~\" or \".\",\n"
    "      in the byte order of their names. -j (--jobs) converts up to JOBS files\n"
    "      at once (default: the number of processors; each holds one lot in\n"
    "      memory); the messages and the names of the files written come in the\n"
    "      order of the names all the same.\n";

namespace {

// Messages about one file: "lotvue-cli: FILE: text" on stderr; an output
// that failed adds its name and the system's reason.
class FileMessages : public ExportMessages {
 public:
  explicit FileMessages(std::string path) : path_(std::move(path)) {}
  void Show(const std::string& text) override { PrintMessage(path_ + ": " + text); }
  void WriteFailed(const std::string& text, const std::string& output, int error) override {
    Show(text + " (" + output + ": " + (error != 0 ? std::strerror(error) : "failed") + ")");
  }
  void CellsLeftOut(const std::string& text) override {
    Show(text);
    cellsLeftOut = true;
  }
  bool cellsLeftOut = false;

 private:
  std::string path_;
};

// The exit status of a file: 0 written, 1 failed, 3 written without some cells.
int FileStatus(bool written, const FileMessages& messages) { return !written ? 1 : messages.cellsLeftOut ? 3 : 0; }

// The status of several files: a failure above cells left out above success.
int Worse(int a, int b) { return (a == 1 || b == 1) ? 1 : (a == 3 || b == 3) ? 3 : 0; }

class FileReaderEvents : public StderrReaderEvents {
 public:
  explicit FileReaderEvents(FileMessages& messages) : messages_(messages) {}
  void NotTsdFile() override { messages_.Show(Lang(kSlotIsNotTsdFile)); }
  void RangeWarning(int deviceIndex, int itemIndex, int mantissa) override {
    messages_.Show(RangeWarningText(deviceIndex, itemIndex, mantissa));
  }

 private:
  FileMessages& messages_;
};

void Usage(const char* command, const std::string& problem) {
  std::fprintf(stderr, "lotvue-cli %s: %s (see lotvue-cli %s --help)\n", command, problem.c_str(), command);
}

void PrintWritten(const std::string& path) { PrintLine(path); }

// Loads a result file as the report window does; nullptr (after its
// message) when it cannot be opened or is no result file.
std::unique_ptr<LotData> LoadLot(const std::string& path, bool onlyPass, FileMessages& messages) {
  if (!IsResultFileName(path)) {
    messages.Show(Lang(kSlotIsNotTsdFile));
    return nullptr;
  }
  auto lot = std::make_unique<LotData>();
  lot->path = path;
  FileReaderEvents events(messages);
  switch (LoadResultFile(*lot, ReadOptions{onlyPass}, events)) {
    case LoadResult::kLoaded:
      return lot;
    case LoadResult::kCannotOpen:
      PrintMessage(CannotOpenText(path));
      break;
    case LoadResult::kNoMemory:
      PrintMessage(NotEnoughMemoryText(path));
      break;
    case LoadResult::kRejected:
    case LoadResult::kCancelled:
      break;
  }
  return nullptr;
}

// The command-line form of a setting flag; false when the argument is none.
// Sets problem for a flag with a bad value.
bool ApplySettingFlag(const Args& args, std::size_t& i, AppSettingsData& settings, bool& changed,
                      std::string& problem) {
  const std::string& a = args[i];
  changed = true;
  if (a == "--csv") settings.ConvertFileTypeCSV = 1;
  else if (a == "--no-csv") settings.ConvertFileTypeCSV = 0;
  else if (a == "--xls") settings.ConvertFileTypeXLS = 1;
  else if (a == "--no-xls") settings.ConvertFileTypeXLS = 0;
  else if (a == "--csv-format" || a.rfind("--csv-format=", 0) == 0) {
    std::string value;
    if (a == "--csv-format") {
      if (i + 1 >= args.size()) {
        problem = "--csv-format needs data, scientific or value";
        return true;
      }
      value = args[++i];
    } else {
      value = a.substr(13);
    }
    if (value == "data") settings.CSVFormat = 0;
    else if (value == "scientific") settings.CSVFormat = 1;
    else if (value == "value") settings.CSVFormat = 2;
    else problem = "unknown --csv-format '" + value + "' (data, scientific or value)";
  } else {
    changed = false;
    if (a == "--only-pass") settings.AvgStdOnlyPass = 1;
    else if (a == "--all") settings.AvgStdOnlyPass = 0;
    else return false;
  }
  return true;
}

// "FIRST-LAST", each an optionally signed decimal integer within 32 bits.
std::optional<std::pair<int, int>> ParseRange(const std::string& text) {
  auto number = [&](std::size_t& pos, int& out) {
    std::size_t start = pos;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
    const std::size_t digits = pos;
    long long v = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      v = v * 10 + (text[pos] - '0');
      if (v > 2147483648LL) return false;
      ++pos;
    }
    if (pos == digits) return false;
    if (text[start] == '-') v = -v;
    if (v > 2147483647LL || v < -2147483648LL) return false;
    out = static_cast<int>(v);
    return true;
  };
  std::size_t pos = 0;
  int first = 0;
  int last = 0;
  if (!number(pos, first) || pos >= text.size() || text[pos] != '-') return std::nullopt;
  ++pos;
  if (!number(pos, last) || pos != text.size()) return std::nullopt;
  return std::pair{first, last};
}

// Converts one file with My_Convert; its exit status (FileStatus).
int ConvertFile(const std::string& path, const AppSettingsData& settings, std::optional<std::pair<int, int>> range,
                bool xlsx = false, bool stdf = false) {
  FileMessages messages(path);
  auto lot = LoadLot(path, settings.AvgStdOnlyPass == 1, messages);
  if (!lot) return 1;
  int first = -1;
  int last = -1;
  if (range) {
    if (!IsValidDeviceRange(range->first, range->second, DeviceRowCount(*lot))) {
      messages.Show(std::string(Lang(kSlotInvalid)) + " (--range " + std::to_string(range->first) + "-" +
                    std::to_string(range->second) + ", " + std::to_string(DeviceRowCount(*lot)) + " devices)");
      return 1;
    }
    first = range->first;
    last = range->second;
  }
  const ConvertResult result = My_Convert(*lot, first, last, settings, messages, xlsx);
  if (result.xlsWritten) PrintWritten(TwoSheetBookPath(lot->path));
  if (result.xlsxWritten) PrintWritten(TwoSheetXlsxPath(lot->path));
  if (result.csvWritten) PrintWritten(CsvPathOf(lot->path));
  const bool stdfWritten = stdf && WriteStdfFile(*lot, messages);
  if (stdfWritten) PrintWritten(StdfPathOf(lot->path));
  return FileStatus((settings.ConvertFileTypeXLS != 1 || result.xlsWritten) && (!xlsx || result.xlsxWritten) &&
                        (settings.ConvertFileTypeCSV != 1 || result.csvWritten) && stdfWritten == stdf,
                    messages);
}

int ConvertFileOneKind(const std::string& path, bool onlyPass, int kind, bool xlsx) {
  FileMessages messages(path);
  auto lot = LoadLot(path, onlyPass, messages);
  if (!lot) return 1;
  const bool written = xlsx ? WriteOneKindXlsx(*lot, kind, messages) : ConvertOneKindBook(*lot, kind, messages);
  if (written) PrintWritten(xlsx ? OneKindXlsxPath(lot->path, kind) : OneKindBookPath(lot->path, kind));
  return FileStatus(written, messages);
}

bool IsHelp(const Args& args) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

// Walks the arguments of convert and convert-folder: words are the files,
// "--" ends the options, settings flags change `settings` (settingFlags
// tells whether one did). Any other option goes to `other`, which answers
// 0 when it took it, 1 when it does not know it and 2 after its own usage
// message. Returns 2 after a usage message, else 0.
int ParseConvertArgs(const char* command, const Args& args, AppSettingsData& settings, bool& settingFlags,
                     std::vector<std::string>& words, const std::function<int(std::size_t&)>& other) {
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string problem;
    bool changed = false;
    if (!options || a.empty() || a[0] != '-') {
      words.push_back(a);
    } else if (a == "--") {
      options = false;
    } else if (ApplySettingFlag(args, i, settings, changed, problem)) {
      if (!problem.empty()) {
        Usage(command, problem);
        return 2;
      }
      settingFlags = settingFlags || changed;
    } else if (const int taken = other(i); taken != 0) {
      if (taken == 1) Usage(command, "unknown option '" + a + "'");
      return 2;
    }
  }
  return 0;
}

// Runs convert(i) for i in [0, count) on up to `jobs` threads, each file's
// output held back and printed in the order of i as soon as the files
// before it are done; the worst status of all.
int ConvertInParallel(std::size_t count, unsigned jobs, const std::function<int(std::size_t)>& convert) {
  if (jobs <= 1 || count <= 1) {
    int status = 0;
    for (std::size_t i = 0; i < count; ++i) status = Worse(status, convert(i));
    return status;
  }
  struct Done {
    HeldOutput output;
    int status = 0;
    std::exception_ptr error;
    bool done = false;
  };
  std::vector<Done> results(count);
  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::condition_variable finished;
  auto work = [&] {
    for (std::size_t i; (i = next++) < count;) {
      Done& d = results[i];
      try {
        HoldOutput hold(d.output);
        d.status = convert(i);
      } catch (...) {
        d.error = std::current_exception();
      }
      std::lock_guard lock(mutex);
      d.done = true;
      finished.notify_one();
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < jobs && t < count; ++t) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer threads; with none this one does the work below
    }
  }
  if (threads.empty()) work();
  int status = 0;
  std::exception_ptr error;
  for (Done& d : results) {
    {
      std::unique_lock lock(mutex);
      finished.wait(lock, [&] { return d.done; });
    }
    d.output.Print();
    std::fflush(stdout);
    status = Worse(status, d.status);
    if (d.error && !error) error = d.error;
    d.output = HeldOutput();
  }
  for (std::thread& t : threads) t.join();
  if (error) std::rethrow_exception(error);
  return status;
}

// The number of processors this process may run on, at least 1.
unsigned ProcessorCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? n : 1;
}

}  // namespace

int ConvertCommand(const Args& args) {
  if (IsHelp(args)) {
    std::fputs(kConvertHelp, stdout);
    return 0;
  }
  AppSettingsData settings = AppSettings;
  std::optional<std::pair<int, int>> range;
  std::vector<int> kinds;  // one-kind books asked for
  bool xlsx = false;
  bool stdf = false;
  bool settingFlags = false;
  std::vector<std::string> files;
  const int parsed = ParseConvertArgs("convert", args, settings, settingFlags, files, [&](std::size_t& i) {
    const std::string& a = args[i];
    if (a == "--data") {
      kinds.push_back(kKindData);
      return 0;
    }
    if (a == "--scientific") {
      kinds.push_back(kKindScientific);
      return 0;
    }
    if (a == "--xlsx") {
      xlsx = true;
      return 0;
    }
    if (a == "--stdf") {
      stdf = true;
      return 0;
    }
    if (a != "--range" && a.rfind("--range=", 0) != 0) return 1;
    std::string value;
    if (a == "--range") {
      if (i + 1 >= args.size()) {
        Usage("convert", "--range needs FIRST-LAST");
        return 2;
      }
      value = args[++i];
    } else {
      value = a.substr(8);
    }
    range = ParseRange(value);
    if (!range) {
      Usage("convert", "--range '" + value + "' is not FIRST-LAST with two whole numbers");
      return 2;
    }
    return 0;
  });
  if (parsed != 0) return parsed;
  if (files.empty()) {
    Usage("convert", "no FILE given");
    return 2;
  }
  if (!kinds.empty() && (settingFlags || range || stdf)) {
    Usage("convert", "--data and --scientific write the whole lot as one book; they take no other type, format or range");
    return 2;
  }
  int status = 0;
  for (const std::string& file : files) {
    if (kinds.empty()) {
      status = Worse(status, ConvertFile(file, settings, range, xlsx, stdf));
    } else {
      for (int kind : kinds) status = Worse(status, ConvertFileOneKind(file, settings.AvgStdOnlyPass == 1, kind, xlsx));
    }
  }
  return status;
}

int FailCsvCommand(const Args& args) {
  if (IsHelp(args)) {
    std::fputs(kFailCsvHelp, stdout);
    return 0;
  }
  std::vector<std::string> files;
  bool options = true;
  for (const std::string& a : args) {
    if (options && a == "--") {
      options = false;
    } else if (options && !a.empty() && a[0] == '-') {
      Usage("fail-csv", "unknown option '" + a + "'");
      return 2;
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) {
    Usage("fail-csv", "no FILE given");
    return 2;
  }
  bool allWritten = true;
  for (const std::string& file : files) {
    FileMessages messages(file);
    auto lot = LoadLot(file, AppSettings.AvgStdOnlyPass == 1, messages);
    if (!lot) {
      allWritten = false;
      continue;
    }
    const std::string path = FailCsvPath(lot->path);
    int error = 0;
    if (WriteFailCsv(FailRowsOf(*lot), path, &error)) {
      PrintWritten(path);
    } else {
      messages.WriteFailed(Lang(kSlotCreatCsvError), path, error);
      allWritten = false;
    }
  }
  return allWritten ? 0 : 1;
}

int ConvertFolderCommand(const Args& args) {
  if (IsHelp(args)) {
    std::fputs(kConvertFolderHelp, stdout);
    return 0;
  }
  AppSettingsData settings = AppSettings;
  std::vector<std::string> targets;
  bool settingFlags = false;
  unsigned jobs = ProcessorCount();
  const int parsed =
      ParseConvertArgs("convert-folder", args, settings, settingFlags, targets, [&](std::size_t& i) {
        const std::string& a = args[i];
        std::string value;
        if (a == "-j" || a == "--jobs") {
          if (i + 1 >= args.size()) {
            Usage("convert-folder", a + " needs a number of jobs");
            return 2;
          }
          value = args[++i];
        } else if (a.rfind("-j", 0) == 0 && a.size() > 2 && a[2] != '-') {
          value = a.substr(2);
        } else if (a.rfind("--jobs=", 0) == 0) {
          value = a.substr(7);
        } else {
          return 1;
        }
        const char* end = value.data() + value.size();
        const auto [stop, error] = std::from_chars(value.data(), end, jobs);
        if (error != std::errc() || stop != end || jobs < 1 || jobs > 1024) {
          Usage("convert-folder", "-j '" + value + "' is not a number of jobs from 1 to 1024");
          return 2;
        }
        return 0;
      });
  if (parsed != 0) return parsed;
  if (targets.size() != 1) {
    Usage("convert-folder", targets.empty() ? "no FILE_OR_FOLDER given" : "one FILE_OR_FOLDER only");
    return 2;
  }
  const std::string& target = targets[0];
  std::string folder;
  struct stat st {};
  if (stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    folder = target;
  } else if (std::optional<std::string> of = BatchFolderOf(target)) {
    folder = *of;
  } else {
    FileMessages(target).Show(Lang(kSlotIsNotTsdFile));
    return 1;
  }
  const std::optional<std::vector<std::string>> names = BatchFileNames(folder);
  if (!names) {
    FileMessages(folder).Show("the folder cannot be read");
    return 1;
  }
  return ConvertInParallel(names->size(), jobs, [&](std::size_t i) {
    return ConvertFile(JoinPath(folder, (*names)[i]), settings, std::nullopt);
  });
}

}  // namespace lotvue::cli
