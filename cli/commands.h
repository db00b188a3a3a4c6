// The commands of lotvue-cli; each takes its own arguments (without the
// command name) and returns the exit status: 0 done, 1 a file failed, 2 usage,
// 3 written without some cells.
#pragma once

#include <string>
#include <vector>

namespace lotvue::cli {

using Args = std::vector<std::string>;

int DumpCommand(const Args& args);

}  // namespace lotvue::cli
