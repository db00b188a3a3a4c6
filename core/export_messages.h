// How the exports speak to the user: the desktop application shows message
// boxes owned by the report view, the command line prints lines on stderr.
#pragma once

#include <string>
#include <vector>

namespace lotvue {

class ExportMessages {
 public:
  virtual ~ExportMessages() = default;
  // A message with an OK button; returns when the user has closed it.
  virtual void Show(const std::string& text) = 0;
  // An output that could not be written: text is its message (the
  // language's CSV or XLS error, with its tag), path the file and error the
  // system's reason (0 when unknown). The desktop shows the text alone.
  virtual void WriteFailed(const std::string& text, const std::string& /*path*/, int /*error*/) { Show(text); }
  // A book was written without some of its cells (text says how many).
  virtual void CellsLeftOut(const std::string& text) { Show(text); }
};

// Collects the messages instead of showing them (tests, batch tools).
class CollectedMessages : public ExportMessages {
 public:
  void Show(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

}  // namespace lotvue
