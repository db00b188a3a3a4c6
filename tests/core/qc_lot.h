// Device QC lots built cell by cell in tests of the dialog's maths and of
// the dialog itself.
#pragma once

#include <string>
#include <vector>

#include "core/device_qc.h"

namespace lotvue::testing {

// Items named `names`, one device a row of result texts; device d failed
// when failed[d] is true (passed where failed is shorter).
inline QcLot MakeQcLot(const std::vector<std::string>& names, const std::vector<std::vector<std::string>>& rows,
                       const std::vector<bool>& failed = {}) {
  QcLot q;
  q.itemCount = static_cast<int>(names.size());
  q.itemNames = names;
  q.deviceCells.Reset(names.size() + 2);
  q.deviceCells.AddCell("Serial", CellColor::Black);
  q.deviceCells.AddCell("Bin", CellColor::Black);
  for (const std::string& n : names) q.deviceCells.AddCell(n, CellColor::Black);
  q.deviceCells.EndRow();
  for (std::size_t d = 0; d < rows.size(); ++d) {
    const bool f = d < failed.size() && failed[d];
    q.deviceCells.AddCell((f ? "F" : "P") + std::to_string(d + 1), CellColor::Black);
    q.deviceCells.AddCell("1", CellColor::Black);
    for (const std::string& c : rows[d]) q.deviceCells.AddCell(c, CellColor::Black);
    q.deviceCells.EndRow();
    q.deviceFailed.push_back(f ? 1 : 0);
  }
  return q;
}

}  // namespace lotvue::testing
