// What lotvue-cli shows instead of message boxes: one line per message on stderr.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/export_messages.h"
#include "core/result_file.h"

namespace lotvue::cli {

// Prints a message as one line on stderr (line breaks inside become blanks).
void PrintMessage(const std::string& text);

// Prints a line on stdout.
void PrintLine(const std::string& text);

// The lines one piece of work printed, stdout and stderr in the order they
// came, kept back so that files converted side by side print one after the
// other.
class HeldOutput {
 public:
  void Add(std::FILE* stream, std::string line) { lines_.emplace_back(stream, std::move(line)); }
  void Print() const;

 private:
  std::vector<std::pair<std::FILE*, std::string>> lines_;
};

// While it lives, PrintMessage and PrintLine of this thread go to `held`.
class HoldOutput {
 public:
  explicit HoldOutput(HeldOutput& held);
  ~HoldOutput();
  HoldOutput(const HoldOutput&) = delete;
  HoldOutput& operator=(const HoldOutput&) = delete;

 private:
  HeldOutput* outer_;
};

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
