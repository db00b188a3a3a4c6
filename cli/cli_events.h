// What lotvue-cli shows instead of message boxes: one line per message on stderr.
#pragma once

#include <string>

#include "core/export_messages.h"
#include "core/result_file.h"

namespace lotvue::cli {

// Prints a message as one line on stderr (line breaks inside become blanks).
void PrintMessage(const std::string& text);

class StderrReaderEvents : public ReaderEvents {
 public:
  void NotTsdFile() override;
  void RangeWarning(int deviceIndex, int itemIndex, int mantissa) override;
};

class StderrMessages : public ExportMessages {
 public:
  void Show(const std::string& text) override { PrintMessage(text); }
};

}  // namespace lotvue::cli
