// lotvue-cli stats and bins: the item statistics and the bin summary of one
// result file on stdout, as CSV or JSON. Each takes its arguments without
// the command name and returns the exit status: 0 written, 1 the file could
// not be read, 2 usage error.
#pragma once

#include "cli/commands.h"

namespace lotvue::cli {

int StatsCommand(const Args& args);
int BinsCommand(const Args& args);

extern const char* const kStatsHelp;
extern const char* const kBinsHelp;

}  // namespace lotvue::cli
