// The failed devices of a lot (the Only Show Fail list) and their CSV file,
// named after the result file with "_Fail.CSV" in place of its extension.
#pragma once

#include <string>
#include <string_view>

#include "core/cell_table.h"
#include "core/lot_data.h"

namespace lotvue {

// A device has failed when its serial text, leading white space dropped and
// in upper case, is not empty and does not begin with "P".
bool IsFailedSerial(std::string_view serial);

// The title row of the lot's device table followed by the complete row of
// every failed device, in file order; itemCount + 2 cells a row. Empty when
// the lot has no device table.
CellTable FailRowsOf(const LotData& lot);

// The process-wide list the Only Show Fail command rebuilds each time it runs.
extern CellTable failRows;
void BuildFailRows(const LotData& lot);

// The result file's path without its last four characters, then "_Fail.CSV".
std::string FailCsvPath(const std::string& lotPath);

// "Number," and each title followed by a comma, then for the n-th failed
// device n, a comma and each cell followed by a comma; CR LF after each line.
std::string FailCsvText(const CellTable& rows);

// Writes the file by way of a temporary file beside it; false (nothing
// changed, no message; *error set to the system's reason when given) when
// it cannot be written.
bool WriteFailCsv(const CellTable& rows, const std::string& path, int* error = nullptr);

}  // namespace lotvue
