// Device QC lots built cell by cell in tests of the dialog's maths and of
// the dialog itself.
#pragma once

#include <string>
#include <vector>

#include "core/device_qc.h"
#include "tests/core/hand_lot.h"

namespace lotvue::testing {

// Items named `names`, one device a row of result texts; device d failed
// when failed[d] is true (passed where failed is shorter).
inline QcLot MakeQcLot(const std::vector<std::string>& names, const std::vector<std::vector<std::string>>& rows,
                       const std::vector<bool>& failed = {}) {
  std::vector<HandDevice> devices;
  for (std::size_t d = 0; d < rows.size(); ++d) {
    devices.push_back({(d < failed.size() && failed[d] ? "F" : "P") + std::to_string(d + 1), "1", rows[d]});
  }
  QcLot q = TakeQcLot(*HandLot(names, devices));
  q.itemNames = names;
  return q;
}

}  // namespace lotvue::testing
