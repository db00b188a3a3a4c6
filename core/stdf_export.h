// The STDF V4 file of a loaded lot ("A.stdf" beside A.tsd), the format that
// the semiconductor test world's tools read. The lot is streamed record by
// record, nothing of it is copied. Little-endian (CPU_TYPE 2); a Cn text is
// a count byte and at most 255 bytes of the lot's text, as the file held it.
// The results' numbers and flags are those of the lot's texts; where the
// result file still holds the device records the load read (the lot keeps
// their fingerprints), they are taken from its packed numbers instead,
// which is cheaper and gives the same bytes.
//
// Records, in this order (HEAD_NUM/SITE_NUM 1/1 for a device's records,
// 255/1 for the summaries; fields not named are empty or "missing"):
//   FAR  CPU_TYPE 2, STDF_VER 4
//   MIR  SETUP_T = START_T = the time given (the result file's modification
//        time), STAT_NUM 1, MODE_COD "P", LOT_ID lot name, PART_TYP device
//        name, NODE_NAM system name, TSTR_TYP "VXT-5000", JOB_NAM test file
//        name, SBLOT_ID wafer number text, OPER_NAM operator, USER_TXT comment
//   per device, in file order:
//     PIR
//     PTR  one per ordinary item (the four special types get none):
//          TEST_NUM = the item's 1-based position, TEST_TXT = its title as
//          the report shows it ("105 VTH"), PARM_FLG 0. A result with a
//          value (MeasuredValue): RESULT = the value in base units as R4,
//          TEST_FLG 0; without one: RESULT 0, TEST_FLG bit 1 (not valid).
//          TEST_FLG bit 7 when the result failed (ResultFailed).
//          The first device's PTRs carry the static fields: OPT_FLAG 0x0E
//          (no second, guard-band limit pair), plus bit 6 / bit 7 when the lower /
//          upper limit has no value; the three scales 0, LO_LIMIT and
//          HI_LIMIT in base units (0 when missing), UNITS the unit character.
//          Later PTRs end after TEST_TXT.
//     PRR  PART_FLG bit 3 when the fail word says failed, NUM_TEST = its
//          PTRs, HARD_BIN = SOFT_BIN = its bin, X_COORD = Y_COORD = -32768,
//          PART_ID = its serial number in decimal
//   TSR  per ordinary item: TEST_TYP "P", TEST_NUM, EXEC_CNT = devices,
//        FAIL_CNT = the devices whose result failed, TEST_NAM = the title
//   HBR, then SBR, per bin that occurs, in ascending order: the count, and
//        "P" when every device of the bin passed, else "F"
//   PCR  PART_CNT = devices, GOOD_CNT = devices whose fail word is 0
//   MRR  FINISH_T = START_T
#pragma once

#include <cstdint>
#include <string>

#include "core/export_messages.h"
#include "core/lot_data.h"
#include "core/replacing_writer.h"

namespace lotvue {

// The lot's path without its last three characters, followed by "stdf".
std::string StdfPathOf(const std::string& lotPath);

// Writes the records of the lot; fileTime (seconds since 1970, UTC) is the
// lot's setup, start and finish time.
void WriteStdf(const LotData& lot, std::uint32_t fileTime, ReplacingWriter& out);

// Writes StdfPathOf(lot.path) with the result file's modification time (0
// when the file is gone). When the file cannot be written, the old one
// stays as it was, messages shows a text that names the file and the
// system's reason, and the result is false.
bool WriteStdfFile(const LotData& lot, ExportMessages& messages);

}  // namespace lotvue
