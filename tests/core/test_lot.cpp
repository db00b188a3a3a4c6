#include "tests/core/test_lot.h"

#include "core/value_text.h"

namespace lotvue::testing {

void RecordingEvents::RangeWarning(int d, int i, int m) { warnings.push_back(RangeWarningText(d, i, m)); }

LoadedLot LoadBytes(const std::vector<std::uint8_t>& bytes, bool avgStdOnlyPass, const std::string& path, int threads,
                    std::size_t chunkBytes) {
  LoadedLot out;
  out.lot->path = path;
  ResultFileSource source;
  source.OpenMemory(bytes.data(), bytes.size());
  ReadOptions options{avgStdOnlyPass, threads};
  options.chunkBytes = chunkBytes;
  out.accepted = ReadHeaderAndItems(source, *out.lot, options, out.events);
  if (out.accepted) ReadDeviceRecords(source, *out.lot, options, out.events);
  return out;
}

}  // namespace lotvue::testing
