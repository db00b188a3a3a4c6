// The main window with the convert commands registered, the questions and
// the opening of written files recorded instead of shown.
#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <QAction>

#include "app/commands.h"
#include "core/app_settings.h"
#include "export/convert_commands.h"
#include "tests/gui/gui_fixture.h"

namespace lotvue::testing {

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline bool Exists(const std::string& path) { return std::ifstream(path).good(); }

// An XLS book: the compound file signature.
inline bool IsXlsBook(const std::string& path) {
  return ReadAll(path).rfind(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), 0) == 0;
}

// The lines of a CSV file (CR LF ends).
inline std::vector<std::string> CsvLines(const std::string& path) {
  std::vector<std::string> lines;
  const std::string text = ReadAll(path);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The six convert commands.
inline constexpr int kConvertCommands[] = {kCmdConvert,     kCmdConvertSetup,  kCmdConvertScientific,
                                           kCmdConvertData, kCmdConvertDetail, kCmdConvertAllFiles};

class ExportTest : public GuiTest {
 protected:
  struct Question {
    QString caption, text;
  };
  struct Opened {
    std::string path;
    bool textEditorFallback;
    bool operator==(const Opened&) const = default;
  };

  void SetUp() override {
    GuiTest::SetUp();
    RegisterExportCommands(*frame);
    previousAsk_ = AskOpenQuestion;
    previousOpen_ = OpenConvertedFile;
    AskOpenQuestion = [this](QWidget*, const QString& caption, const QString& text) {
      questions.push_back({caption, text});
      return answer;
    };
    OpenConvertedFile = [this](const std::string& path, bool fallback) {
      opened.push_back({path, fallback});
      return openWorks;
    };
  }
  void TearDown() override {
    AskOpenQuestion = previousAsk_;
    OpenConvertedFile = previousOpen_;
    GuiTest::TearDown();
  }

  // Opens a result file and waits for its hand-over.
  CLotvueView* OpenLoaded(const std::string& path) {
    CLotvueView* view = Open(path);
    EXPECT_TRUE(view && WaitLoaded(view));
    return view;
  }

  // Which of the six convert commands are enabled now.
  std::vector<bool> ConvertEnabling() {
    frame->UpdateCommands();
    std::vector<bool> enabled;
    for (int id : kConvertCommands) enabled.push_back(frame->action(id)->isEnabled());
    return enabled;
  }

  void ClearRecords() {
    questions.clear();
    opened.clear();
    messages.clear();
  }

  std::vector<Question> questions;
  std::vector<Opened> opened;
  bool answer = true;
  bool openWorks = true;

 private:
  decltype(AskOpenQuestion) previousAsk_;
  decltype(OpenConvertedFile) previousOpen_;
};

// While busy only Convert Detail stays available.
inline const std::vector<bool> kBusyEnabling = {false, false, false, false, true, false};

}  // namespace lotvue::testing
