// lotvue-cli's conversions: convert, fail-csv and convert-folder. Each takes
// its arguments without the command name and returns the exit status:
// 0 everything written, 1 a file failed, 2 usage error, 3 written without some cells.
#pragma once

#include "cli/commands.h"

namespace lotvue::cli {

int ConvertCommand(const Args& args);
int FailCsvCommand(const Args& args);
int ConvertFolderCommand(const Args& args);

extern const char* const kConvertHelp;
extern const char* const kFailCsvHelp;
extern const char* const kConvertFolderHelp;

}  // namespace lotvue::cli
