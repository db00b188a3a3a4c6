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
};

// Collects the messages instead of showing them (tests, batch tools).
class CollectedMessages : public ExportMessages {
 public:
  void Show(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

}  // namespace lotvue
