#include "core/records_again.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "core/result_file.h"
#include "core/result_records.h"
#include "core/run_in_two.h"

namespace lotvue {

void ForRecordsReadAgain(const LotData& lot, int firstDevice, int endDevice,
                         const std::function<void(int first, int end, const std::uint8_t* records)>& take) {
  firstDevice = std::max(firstDevice, 0);
  endDevice = std::min(endDevice, lot.devices());
  if (firstDevice >= endDevice) return;
  std::size_t recorded = 0;
  for (const RecordChunk& c : lot.recordChunks) recorded += c.count;
  ResultFileSource file;
  if (recorded != static_cast<std::size_t>(lot.devices()) || !file.Open(lot.path)) {
    take(firstDevice, endDevice, nullptr);
    return;
  }

  // The load chunks the range meets, with their devices and file offsets.
  struct Chunk {
    const RecordChunk* chunk;
    int first;
    std::uint64_t offset;
  };
  std::vector<Chunk> chunks;
  std::size_t most = 0;
  const std::size_t recordBytes = DeviceRecord::Bytes(static_cast<std::size_t>(lot.items()));
  std::uint64_t offset = lot.recordsOffset;
  int first = 0;
  for (const RecordChunk& c : lot.recordChunks) {
    const int end = first + static_cast<int>(c.count);
    if (end > firstDevice && first < endDevice) {
      chunks.push_back({&c, first, offset});
      most = std::max(most, c.count);
    }
    first = end;
    offset += c.count * recordBytes;
  }

  // Two buffers: while the caller takes one chunk, a second thread reads
  // the next one (and takes its fingerprint), so that the file's pages
  // come in, from the disk or the cache, while the records are used.
  std::unique_ptr<std::uint8_t[]> buffers[2];
  bool same[2] = {false, false};
  const auto read = [&](std::size_t k) {
    std::unique_ptr<std::uint8_t[]>& buffer = buffers[k % 2];
    if (!buffer) buffer.reset(new std::uint8_t[most * recordBytes]);
    same[k % 2] = ReadRecordsAgain(file, chunks[k].offset, *chunks[k].chunk, recordBytes, buffer.get());
  };
  read(0);
  for (std::size_t k = 0; k < chunks.size(); ++k) {
    const auto takeThis = [&] {
      const Chunk& c = chunks[k];
      const int from = std::max(c.first, firstDevice);
      const int end = std::min(c.first + static_cast<int>(c.chunk->count), endDevice);
      const std::uint8_t* records =
          same[k % 2] ? buffers[k % 2].get() + static_cast<std::size_t>(from - c.first) * recordBytes : nullptr;
      take(from, end, records);
    };
    if (k + 1 < chunks.size()) {
      RunInTwo(takeThis, [&] { read(k + 1); });
    } else {
      takeThis();
    }
  }
}

}  // namespace lotvue
