// libFuzzer target: any bytes as a result file. The reader must not crash,
// hang or leak, and the lot it builds must be whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/result_file.h"

namespace {

class CountingEvents : public lotvue::ReaderEvents {
 public:
  void NotTsdFile() override { ++notTsd; }
  void RangeWarning(int, int, int) override { ++warnings; }
  int notTsd = 0;
  long warnings = 0;
};

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lotvue::LotData lot;
  lot.path = "/fuzz/input.tsd";
  lotvue::ResultFileSource source;
  source.OpenMemory(data, size);
  CountingEvents events;
  const lotvue::ReadOptions options{size % 2 == 0};
  if (!lotvue::ReadHeaderAndItems(source, lot, options, events)) {
    Check(events.notTsd == 1 && lot.items() > 256);
    return 0;
  }
  lotvue::ReadDeviceRecords(source, lot, options, events);
  const std::size_t n = static_cast<std::size_t>(lot.items());
  const std::size_t devices = static_cast<std::size_t>(lot.devices());
  Check(lot.headerCells.size() == 24);
  Check(lot.itemTable.size() == 11 * (n + 2));
  Check(lot.deviceCells.size() == (devices + 1) * (n + 2));
  Check(lot.deviceFailed.size() == devices);
  Check(lot.failCount >= 0 && static_cast<std::size_t>(lot.failCount) <= devices);
  // Every cell can be reached and is short.
  for (std::size_t k = 0; k < lot.deviceCells.size(); ++k) Check(lot.deviceCells[k].size() <= 24);
  return 0;
}
