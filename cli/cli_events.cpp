#include "cli/cli_events.h"

#include <cstdio>

#include "core/language.h"
#include "core/value_text.h"

namespace lotvue::cli {

namespace {
constexpr int kSlotNotTsdFile = 60;  // "Is not TSD File"
}

void PrintMessage(const std::string& text) {
  std::string line = "lotvue-cli: " + text;
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

void StderrReaderEvents::NotTsdFile() { PrintMessage(Lang(kSlotNotTsdFile)); }

void StderrReaderEvents::RangeWarning(int deviceIndex, int itemIndex, int mantissa) {
  PrintMessage(RangeWarningText(deviceIndex, itemIndex, mantissa));
}

}  // namespace lotvue::cli
