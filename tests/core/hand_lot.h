// Lots built cell by cell in tests of the exports: the summary, the item
// table and the device rows hold short texts that say where they stand.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/lot_data.h"

namespace lotvue::testing {

struct HandDevice {
  std::string serial;  // "P1", "F2", ...
  std::string bin;
  std::vector<std::string> values;
};

// A lot of titles.size() items with the given devices. Summary values are
// "v0".."v7" (the comment is `comment`), item-table cells "rRcC" with the
// real row labels in column 0.
inline std::unique_ptr<LotData> HandLot(const std::vector<std::string>& titles, const std::vector<HandDevice>& devices,
                                        const std::string& comment = "v7", const std::string& path = "/lots/A123.tsd") {
  auto lot = std::make_unique<LotData>();
  const int items = static_cast<int>(titles.size());
  const int w = items + 2;
  lot->itemCount = items;
  lot->deviceCount = static_cast<int>(devices.size());
  lot->path = path;
  const char* labels[] = {"DataFileName", "WaferNum",     "SystemName",   "DeviceName",
                          "LotName",      "OperatorName", "TestFileName", "Comment"};
  for (int i = 0; i < 8; ++i) {
    lot->headerCells.push_back(labels[i]);
    lot->headerCells.push_back(i == 7 ? comment : "v" + std::to_string(i));
  }
  int fails = 0;
  for (const HandDevice& d : devices) fails += !d.serial.empty() && d.serial[0] == 'F';
  lot->failCount = fails;
  const std::vector<std::string> tail = {"", "", "Pass", std::to_string(devices.size() - fails),
                                         "Fail", std::to_string(fails), "Yield", "50.000%"};
  lot->headerCells.insert(lot->headerCells.end(), tail.begin(), tail.end());

  const char* rowLabels[kItemTableRows] = {"Item Name", "Bias1", "Bias2", "Bias3", "Min Limit", "Max Limit",
                                           "",          "Average", "STDEV", "Min Data", "Max Data"};
  for (int r = 0; r < kItemTableRows; ++r) {
    for (int c = 0; c < w; ++c) {
      if (c == 0) lot->itemTable.push_back(rowLabels[r]);
      else if (c == 1 || r == kRowSeparator) lot->itemTable.push_back("");
      else lot->itemTable.push_back("r" + std::to_string(r) + "c" + std::to_string(c));
    }
  }

  lot->deviceCells.Reset(static_cast<std::size_t>(w));
  lot->deviceCells.AddCell("Serial", CellColor::Black);
  lot->deviceCells.AddCell("Bin", CellColor::Black);
  for (const std::string& t : titles) lot->deviceCells.AddCell(t, CellColor::Black);
  lot->deviceCells.EndRow();
  for (const HandDevice& d : devices) {
    lot->deviceCells.AddCell(d.serial, CellColor::Black);
    lot->deviceCells.AddCell(d.bin, CellColor::Black);
    for (int i = 0; i < items; ++i) {
      lot->deviceCells.AddCell(i < static_cast<int>(d.values.size()) ? d.values[i] : "", CellColor::Blue);
    }
    lot->deviceCells.EndRow();
    lot->deviceFailed.push_back(!d.serial.empty() && d.serial[0] == 'F');
  }
  return lot;
}

}  // namespace lotvue::testing
