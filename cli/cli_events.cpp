#include "cli/cli_events.h"

#include <cstdio>

#include "core/language.h"
#include "core/value_text.h"

namespace lotvue::cli {

namespace {
constexpr int kSlotNotTsdFile = 60;  // "Is not TSD File"

thread_local HeldOutput* t_held = nullptr;

void Print(std::FILE* stream, std::string line) {
  if (t_held) t_held->Add(stream, std::move(line));
  else std::fwrite(line.data(), 1, line.size(), stream);
}

}  // namespace

void PrintMessage(const std::string& text) {
  std::string line = "lotvue-cli: " + text;
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  line += '\n';
  Print(stderr, std::move(line));
}

void PrintLine(const std::string& text) { Print(stdout, text + '\n'); }

void HeldOutput::Print() const {
  for (const auto& [stream, line] : lines_) std::fwrite(line.data(), 1, line.size(), stream);
}

HoldOutput::HoldOutput(HeldOutput& held) : outer_(t_held) { t_held = &held; }

HoldOutput::~HoldOutput() { t_held = outer_; }

void StderrReaderEvents::NotTsdFile() { PrintMessage(Lang(kSlotNotTsdFile)); }

void StderrReaderEvents::RangeWarning(int deviceIndex, int itemIndex, int mantissa) {
  PrintMessage(RangeWarningText(deviceIndex, itemIndex, mantissa));
}

}  // namespace lotvue::cli
