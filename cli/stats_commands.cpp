// lotvue-cli stats and bins: the statistics of the "Item Statistics"
// window for scripts, one file at a time.
#include "cli/stats_commands.h"

#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_events.h"
#include "core/app_settings.h"
#include "core/item_stats.h"
#include "core/item_stats_text.h"
#include "core/lot_data.h"
#include "core/result_file.h"

namespace lotvue::cli {

const char* const kStatsHelp =
    "stats [--only-pass|--all] [--format csv|json] FILE\n"
    "      Prints one row per item that holds measured values (the pin-mask,\n"
    "      line, capacitance and plain items have none): Item (1-based), Name,\n"
    "      Unit, LSL, USL, N (values), Fails, FailPct, Mean, Median, Stdev\n"
    "      (sample), Min, Max, Cp, Cpk. Values in base units: \" 1.234mV\" is\n"
    "      0.001234; an undefined number is an empty field (CSV) or null (JSON).\n"
    "      CSV has a header row and LF line ends, Name and Unit as the file's\n"
    "      bytes; JSON is an array of objects with Name and Unit in UTF-8.\n"
    "      --only-pass takes passed devices only, --all every device (default:\n"
    "      the AvgStdOnlyPass setting). Exit status 0 printed, 1 the file cannot\n"
    "      be read, 2 usage error.\n";

const char* const kBinsHelp =
    "bins [--only-pass|--all] [--format csv|json] FILE\n"
    "      Prints the bin summary in ascending bin order: Bin, Count, Passed,\n"
    "      Failed (by the device's fail word), Percent of the devices taken;\n"
    "      options and exit status as for stats.\n";

namespace {

struct StatsRequest {
  std::string path;
  DeviceSelection selection = DeviceSelection::kAll;
  bool json = false;
};

constexpr int kGoOn = -1;

// Reads the arguments of `command`: kGoOn, or the exit status after --help
// (0) or a usage error (2, with a message).
int ReadArguments(const char* command, const char* help, const Args& args, StatsRequest& request) {
  request.selection = AppSettings.AvgStdOnlyPass == 1 ? DeviceSelection::kOnlyPass : DeviceSelection::kAll;
  const std::string prefix = std::string("lotvue-cli ") + command + ": ";
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string& a = args[k];
    if (a == "--help") {
      std::fputs(help, stdout);
      return 0;
    } else if (a == "--only-pass") {
      request.selection = DeviceSelection::kOnlyPass;
    } else if (a == "--all") {
      request.selection = DeviceSelection::kAll;
    } else if (a == "--format" || a.starts_with("--format=")) {
      std::string format;
      if (a != "--format") format = a.substr(9);
      else if (k + 1 < args.size()) format = args[++k];
      if (format != "csv" && format != "json") {
        std::fputs((prefix + "--format takes csv or json\n").c_str(), stderr);
        return 2;
      }
      request.json = format == "json";
    } else if (!a.empty() && a[0] == '-') {
      std::fputs((prefix + "unknown option '" + a + "'\n").c_str(), stderr);
      return 2;
    } else if (request.path.empty()) {
      request.path = a;
    } else {
      std::fputs((prefix + "one file only\n").c_str(), stderr);
      return 2;
    }
  }
  if (request.path.empty()) {
    std::fprintf(stderr, "usage: lotvue-cli %s [--only-pass|--all] [--format csv|json] FILE\n", command);
    return 2;
  }
  return kGoOn;
}

// Loads the file, has `text` turn the lot into the output and prints it.
template <typename MakeText>
int Run(const char* command, const char* help, const Args& args, MakeText text) {
  StatsRequest request;
  if (const int status = ReadArguments(command, help, args, request); status != kGoOn) return status;
  auto lot = std::make_unique<LotData>();
  lot->path = request.path;
  StderrReaderEvents events;
  const LoadResult result = LoadResultFile(*lot, ReadOptions{request.selection == DeviceSelection::kOnlyPass}, events);
  if (result == LoadResult::kCannotOpen) PrintMessage(CannotOpenText(request.path));
  if (result == LoadResult::kNoMemory) PrintMessage(NotEnoughMemoryText(request.path));
  if (result != LoadResult::kLoaded) return 1;
  const std::string out = text(*lot, request);
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
    PrintMessage("cannot write to stdout");
    return 1;
  }
  return 0;
}

}  // namespace

int StatsCommand(const Args& args) {
  return Run("stats", kStatsHelp, args, [](const LotData& lot, const StatsRequest& request) {
    const std::vector<ItemStats> table = ComputeItemStats(lot, request.selection);
    return request.json ? ItemStatsJson(lot, table) : ItemStatsCsv(lot, table, "\n");
  });
}

int BinsCommand(const Args& args) {
  return Run("bins", kBinsHelp, args, [](const LotData& lot, const StatsRequest& request) {
    const std::vector<BinStats> bins = ComputeBinStats(lot, request.selection);
    return request.json ? BinStatsJson(bins) : BinStatsCsv(bins, "\n");
  });
}

}  // namespace lotvue::cli
