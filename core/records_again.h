// The device records of a loaded lot, read again from its file: writers
// that need a result's number take it from its packed record instead of
// reading it back from its text, wherever the file still holds the records
// the load read.
#pragma once

#include <cstdint>
#include <functional>

#include "core/lot_data.h"

namespace lotvue {

// Calls take(first, end, records) for the devices [firstDevice, endDevice)
// of the lot, in order, a load chunk (or the part of one in the range) at a
// time: records holds the packed DeviceRecords of devices first to end - 1,
// or is null where they cannot be had as the load read them (the lot has no
// records, its file is gone, cut or changed: the chunk's fingerprint
// differs). The calls cover the range without a gap.
void ForRecordsReadAgain(const LotData& lot, int firstDevice, int endDevice,
                         const std::function<void(int first, int end, const std::uint8_t* records)>& take);

}  // namespace lotvue
