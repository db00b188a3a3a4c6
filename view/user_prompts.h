// UserPrompts: the one way the program tells and asks the user outside its
// own dialogs: a message box, a yes/no question, and a written file shown
// with the desktop's application. The main window owns the desktop's
// prompts and hands them to its report windows and dialogs; tests put a
// recording stand-in in their place.
#pragma once

#include <string>

#include <QPointer>
#include <QString>
#include <QWidget>

namespace lotvue {

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;

  // A message box with the text, an OK button and the application's name as
  // caption; returns when the user has closed it. A null parent stands for
  // the main window.
  virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
  // A question with Yes (the default) and No: true for Yes.
  virtual bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
  // Opens path with the desktop's application for it and, when that fails
  // and textEditorFallback is set, with the first text editor found. False
  // when nothing could be started.
  virtual bool OpenFile(const std::string& path, bool textEditorFallback) = 0;
};

// The prompts of the desktop: Qt message boxes and the desktop's
// applications. Boxes without a parent belong to mainWindow.
class DesktopPrompts : public UserPrompts {
 public:
  explicit DesktopPrompts(QWidget* mainWindow = nullptr) : mainWindow_(mainWindow) {}
  void ShowMessage(QWidget* parent, const QString& text) override;
  bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override;
  bool OpenFile(const std::string& path, bool textEditorFallback) override;

 private:
  QPointer<QWidget> mainWindow_;
};

// After a file has been written: asks "Save success. Open this File ?" with
// the file as caption, opens it on Yes, and says "Call Excel and NOTEPAD
// Error" when no program could be started.
void OfferToOpen(UserPrompts& prompts, QWidget* parent, const std::string& path, bool textEditorFallback);

}  // namespace lotvue
