// Which files of a folder the folder conversion ("Convert All Files") takes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lotvue {

// The test of every way a file is opened (Open dialog, dropped file,
// command line, lotvue-cli): the last three characters, in any letter case,
// are "tsd".
bool IsResultFileName(std::string_view path);

// A listed name is taken when it ends in ".tsd" in any letter case (the
// folder's "*.tsd" pattern), does not begin with "~" (an editor's or the
// spreadsheet program's temporary copy) and is not hidden (begins with ".").
bool IsBatchResultName(std::string_view name);

// The folder of the file the user picked: the text before its last "/"
// ("." for a bare name, "/" for a file at the root). Nothing when the picked
// name is no result file name.
std::optional<std::string> BatchFolderOf(const std::string& chosenPath);

// The bare names of the folder's result files that IsBatchResultName takes,
// folders left out, sorted by their bytes so that every run converts in the
// same order. Nothing when the folder cannot be read.
std::optional<std::vector<std::string>> BatchFileNames(const std::string& folder);

// folder + "/" + name (no doubled "/").
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace lotvue
