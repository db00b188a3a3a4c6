// lotvue-cli: the result-file core without a window, for scripts and batches.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "cli/cli_events.h"
#include "cli/commands.h"
#include "cli/convert_commands.h"
#include "cli/stats_commands.h"
#include "core/app_settings.h"
#include "core/language.h"
#include "core/version.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const lotvue::cli::Args&);
  const char* help;
};

const Command kCommands[] = {
    {"dump", lotvue::cli::DumpCommand,
     "dump FILE [--only-pass]\n"
     "      Prints the lot header, the item table and every device row with each\n"
     "      cell's colour. --only-pass computes Average and STDEV over passed\n"
     "      devices only (default: the AvgStdOnlyPass setting).\n"},
    // Further commands (convert, fail-csv, convert-folder) register here.
    {"convert", lotvue::cli::ConvertCommand, lotvue::cli::kConvertHelp},
    {"fail-csv", lotvue::cli::FailCsvCommand, lotvue::cli::kFailCsvHelp},
    {"convert-folder", lotvue::cli::ConvertFolderCommand, lotvue::cli::kConvertFolderHelp},
    {"stats", lotvue::cli::StatsCommand, lotvue::cli::kStatsHelp},
    {"bins", lotvue::cli::BinsCommand, lotvue::cli::kBinsHelp},
};

void PrintHelp(std::FILE* out) {
  std::fputs("usage: lotvue-cli COMMAND [ARGUMENTS]\n       lotvue-cli --version\n\nCommands:\n", out);
  for (const Command& c : kCommands) std::fprintf(out, "  %s\n", c.help);
  std::fputs(
      "Settings and language are read from the Config folder (LOTVUE_CONFIG_DIR\n"
      "overrides it); lotvue-cli never writes them. Messages go to stderr, one\n"
      "line each. Exit status: 0 everything written, 1 a file failed, 2 usage error,\n"
      "3 written, but cells were left out (an XLS sheet holds 65536 rows and 256\n"
      "columns; the message says how many cells).\n",
      out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s\n", lotvue::kVersionText);
    return 0;
  }
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
      std::strcmp(argv[1], "help") == 0) {
    PrintHelp(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  lotvue::LoadSettings();
  lotvue::LoadLanguage();
  const lotvue::cli::Args args(argv + 2, argv + argc);
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    try {
      return c.run(args);
    } catch (const std::bad_alloc&) {
      lotvue::cli::PrintMessage("Not enough memory");
      return 1;
    }
  }
  std::fprintf(stderr, "lotvue-cli: unknown command '%s' (see lotvue-cli --help)\n", argv[1]);
  return 2;
}
