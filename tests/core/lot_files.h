// Lots for the tests: generated result files, read into a LotData as the
// loading thread reads them, lots built cell by cell, and the temporary
// folders and files around them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/device_qc.h"
#include "core/lot_data.h"
#include "core/result_file.h"
#include "tools/tsd_writer.h"

namespace lotvue::testing {

// A lot of `items` ordinary items named I0.. and `devices` devices; every
// third device failed. values[d] names the items device d has a value for
// (empty: all of them).
tsd::TsdBuilder SmallLot(int items, int devices, const std::vector<std::vector<int>>& values = {});

// Reads bytes into lot as the loading thread does (without the thread), the
// reader's messages to events (none: dropped); false when the file is refused.
bool ReadLot(const std::vector<std::uint8_t>& bytes, LotData& lot, const std::string& path = "/lots/A123.tsd",
             const ReadOptions& options = {}, ReaderEvents* events = nullptr);

struct RecordingEvents : ReaderEvents {
  int notTsd = 0;
  std::vector<std::string> warnings;
  void NotTsdFile() override { ++notTsd; }
  void RangeWarning(int d, int i, int m) override;
};

struct LoadedLot {
  std::unique_ptr<LotData> lot = std::make_unique<LotData>();
  RecordingEvents events;
  bool accepted = false;
};
LoadedLot LoadBytes(const std::vector<std::uint8_t>& bytes, bool avgStdOnlyPass = false,
                    const std::string& path = "/lots/A123.tsd", int threads = 0, std::size_t chunkBytes = 0);

struct HandDevice {
  std::string serial;  // "P1", "F2", ...
  std::string bin;
  std::vector<std::string> values;
  std::vector<CellColor> colors;  // of the values; blue where missing
};

// A lot of titles.size() items with the given devices. Summary values are
// "v0".."v7" (the comment is `comment`), item-table cells "rRcC" with the
// real row labels in column 0; failed serials are red.
std::unique_ptr<LotData> HandLot(const std::vector<std::string>& titles, const std::vector<HandDevice>& devices,
                                 const std::string& comment = "v7", const std::string& path = "/lots/A123.tsd");

// A Device QC lot of items named `names`, one device a row of result texts;
// device d failed when failed[d] is true (passed where failed is shorter).
QcLot MakeQcLot(const std::vector<std::string>& names, const std::vector<std::vector<std::string>>& rows,
                const std::vector<bool>& failed = {});

// A folder of its own under the temporary directory, emptied; the folders
// of a process are removed when it ends.
std::string TempFolder(const std::string& name);
std::string WriteTsd(const std::string& folder, const std::string& name, const std::vector<std::uint8_t>& bytes);
// The bytes of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Runs write with files limited to `bytes` (SIGXFSZ ignored): a full disk
// in small. Returns what write returned.
bool UnderFileSizeLimit(long bytes, const std::function<bool()>& write);

}  // namespace lotvue::testing
