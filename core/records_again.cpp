#include "core/records_again.h"

#include <algorithm>
#include <memory>

#include "core/result_file.h"
#include "core/result_records.h"

namespace lotvue {

void ForRecordsReadAgain(const LotData& lot, int firstDevice, int endDevice,
                         const std::function<void(int first, int end, const std::uint8_t* records)>& take) {
  firstDevice = std::max(firstDevice, 0);
  endDevice = std::min(endDevice, lot.devices());
  if (firstDevice >= endDevice) return;
  std::size_t recorded = 0;
  std::size_t most = 0;
  for (const RecordChunk& c : lot.recordChunks) {
    recorded += c.count;
    most = std::max(most, c.count);
  }
  ResultFileSource file;
  if (recorded != static_cast<std::size_t>(lot.devices()) || !file.Open(lot.path)) {
    take(firstDevice, endDevice, nullptr);
    return;
  }
  const std::size_t recordBytes = DeviceRecord::Bytes(static_cast<std::size_t>(lot.items()));
  const std::unique_ptr<std::uint8_t[]> chunk(new std::uint8_t[most * recordBytes]);
  std::uint64_t offset = lot.recordsOffset;
  int first = 0;
  for (const RecordChunk& c : lot.recordChunks) {
    const int end = first + static_cast<int>(c.count);
    if (end > firstDevice && first < endDevice) {
      const bool same = ReadRecordsAgain(file, offset, c, recordBytes, chunk.get());
      const int from = std::max(first, firstDevice);
      const std::uint8_t* records = same ? chunk.get() + static_cast<std::size_t>(from - first) * recordBytes : nullptr;
      take(from, std::min(end, endDevice), records);
    }
    first = end;
    offset += c.count * recordBytes;
  }
}

}  // namespace lotvue
