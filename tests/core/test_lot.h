// Loading result-file bytes into a LotData in tests, with the reader's messages recorded.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/result_file.h"

namespace lotvue::testing {

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

// Reads header, items and records from memory, as the loader does from a file.
LoadedLot LoadBytes(const std::vector<std::uint8_t>& bytes, bool avgStdOnlyPass = false,
                    const std::string& path = "/lots/A123.tsd", int threads = 0, std::size_t chunkBytes = 0);

}  // namespace lotvue::testing
