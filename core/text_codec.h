// Display texts of the 8-bit strings of a result file. The model keeps the
// bytes as they were read; for the screen (and the spreadsheet) they are
// decoded: as UTF-8 when they are valid UTF-8, else as GB18030. The
// environment variable LOTVUE_CODEPAGE (BIG5, CP1252, ...) names the code
// page of the files instead, for every string that is not plain ASCII.
// Needs no Qt: any layer may use it.
#pragma once

#include <string>
#include <string_view>

namespace lotvue {

bool IsAscii(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);

// The code page used for strings that are not UTF-8: LOTVUE_CODEPAGE when
// set (read once), else "GB18030".
const std::string& FallbackCodepage();

// The bytes as UTF-8 under the rule above. Bytes the code page cannot
// decode come out as U+FFFD; nothing fails.
std::string DisplayUtf8(std::string_view bytes);

// The same with an explicit code page ("" means the automatic rule).
std::string DecodeBytes(std::string_view bytes, const std::string& codepage);

}  // namespace lotvue
