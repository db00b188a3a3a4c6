#include "core/lot_data.h"

namespace lotvue {

LotData LoadingLot;

void LotData::Reset() {
  recordsRead = 0;
  deviceCount = 0;
  itemCount = 0;
  waferNum.clear();
  systemName.clear();
  deviceName.clear();
  lotName.clear();
  operatorName.clear();
  testFileName.clear();
  comment.clear();
  itemUnits.clear();
  itemTypes.clear();
  headerCells.clear();
  itemTable.clear();
  deviceCells.Reset(0);
  deviceFailed.clear();
  fontHeight = 20;
  failCount = 0;
  itemNames.clear();
  path.clear();
  viewFormat = 1;
  loadState = kIdle;
}

std::size_t LotData::MemoryBytes() const {
  auto strings = [](const std::vector<std::string>& v) {
    std::size_t bytes = v.capacity() * sizeof(std::string);
    for (const std::string& s : v) bytes += s.capacity() > 15 ? s.capacity() + 1 : 0;
    return bytes;
  };
  return sizeof(LotData) + deviceCells.MemoryBytes() + deviceFailed.capacity() + itemUnits.capacity() +
         itemTypes.capacity() * sizeof(std::uint32_t) + strings(headerCells) + strings(itemTable) + strings(itemNames);
}

void LotData::CopyFrom(const LotData& o) {
  recordsRead = 0;
  deviceCount = o.deviceCount.load();
  itemCount = o.itemCount.load();
  waferNum = o.waferNum;
  systemName = o.systemName;
  deviceName = o.deviceName;
  lotName = o.lotName;
  operatorName = o.operatorName;
  testFileName = o.testFileName;
  comment = o.comment;
  itemUnits = o.itemUnits;
  itemTypes = o.itemTypes;
  headerCells = o.headerCells;
  itemTable = o.itemTable;
  deviceCells = o.deviceCells;
  deviceFailed = o.deviceFailed;
  failCount = o.failCount;
  itemNames = o.itemNames;
  path = o.path;
  viewFormat = o.viewFormat;
}

}  // namespace lotvue
