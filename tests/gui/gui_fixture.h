// A main window per test, what it tells and asks the user recorded instead
// of shown, and helpers that wait with the event loop running.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <QEvent>
#include <QImage>
#include <QString>

#include "app/main_frame.h"
#include "view/report_view.h"
#include "view/user_prompts.h"

namespace lotvue::testing {

// Prompts that record the messages, questions and openings of files, and
// answer as the test says.
struct RecordingPrompts : UserPrompts {
  struct Opened {
    std::string path;
    bool textEditorFallback;
    bool operator==(const Opened&) const = default;
  };
  void ShowMessage(QWidget*, const QString& text) override { messages.push_back(text); }
  bool AskYesNo(QWidget*, const QString& caption, const QString& text) override {
    questions.push_back({caption, text});
    return answer;
  }
  bool OpenFile(const std::string& path, bool textEditorFallback) override {
    opened.push_back({path, textEditorFallback});
    return openWorks;
  }
  void ClearRecords() {
    messages.clear();
    questions.clear();
    opened.clear();
  }

  std::vector<QString> messages;
  std::vector<std::pair<QString, QString>> questions;  // caption, text
  std::vector<Opened> opened;
  bool answer = true;     // Yes
  bool openWorks = true;  // a program was started
};

// Runs the event loop until cond holds (false after the timeout).
bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 30000);

// The main window's prompts are the fixture's own.
class GuiTest : public ::testing::Test, protected RecordingPrompts {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Lets closed windows go (their deletion waits for the event loop).
  static void Settle();
  // Opens a file through the main window; returns the newest view.
  CLotvueView* Open(const std::string& path);
  // Opens a file and waits for its hand-over; null when it never arrived.
  CLotvueView* OpenLoaded(const std::string& path);
  // Waits for the hand-over (or the end of a file that never arrives) and
  // for the program to be idle.
  bool WaitLoaded(CLotvueView* view);
  // When the next modal dialog is up, act(dialog) runs on it.
  static void WhenModal(std::function<void(QWidget*)> act);
  // A new main window as the program makes it, shown with this command line.
  void MakeFrame(const QString& commandLine = QString());
  void DeleteFrame();

  CMainFrame* frame = nullptr;
  std::string dir;     // a temporary folder of the test
  std::string config;  // the Config folder of the test
};

// A dialog or window shown without a main window: English texts, the
// prompts recorded.
class PromptsTest : public ::testing::Test, protected RecordingPrompts {
 protected:
  void SetUp() override;
};

// Input as the window system delivers it: a left-button event of `type` at
// pos of a widget, a key press, and a key press offered to the shortcuts
// first (true when one of them took it).
void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos);
void SendKey(QWidget* widget, int key, Qt::KeyboardModifiers mods = Qt::NoModifier);
bool PressShortcut(QObject* target, int key, Qt::KeyboardModifiers mods);

// The colour of a pixel as (r, g, b).
struct Rgb3 {
  int r, g, b;
  bool operator==(const Rgb3&) const = default;
};
Rgb3 PixelAt(const QImage& image, int x, int y);
void PrintTo(const Rgb3& c, std::ostream* os);

}  // namespace lotvue::testing
