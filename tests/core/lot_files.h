// Result files for the tests: a small generated lot, read into a LotData as
// the loading thread reads it, and written into a temporary folder.
#pragma once

#include <string>
#include <vector>

#include "core/lot_data.h"
#include "tools/tsd_writer.h"

namespace lotvue::testing {

// A lot of `items` ordinary items named I0.. and `devices` devices; every
// third device failed. values[d] names the items device d has a value for
// (empty: all of them).
tsd::TsdBuilder SmallLot(int items, int devices, const std::vector<std::vector<int>>& values = {});

// Reads bytes into lot as the loading thread does (without the thread).
void ReadLot(const std::vector<std::uint8_t>& bytes, LotData& lot, const std::string& path = "/data/lot.tsd");

// A folder of its own under the temporary directory, emptied.
std::string TempFolder(const std::string& name);
std::string WriteTsd(const std::string& folder, const std::string& name, const std::vector<std::uint8_t>& bytes);
// The bytes of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

}  // namespace lotvue::testing
