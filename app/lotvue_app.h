// CLotvueApp: the program's start-up and end.
#pragma once

#include <memory>

#include <QStringList>

namespace lotvue {

class CMainFrame;

class CLotvueApp {
 public:
  CLotvueApp();
  ~CLotvueApp();

  // Start-up, in order: the language, the main window (which reads the
  // settings), its parts and the command line (args[1]), shown maximised.
  // The command line's file is opened at the window's first resize.
  bool InitInstance(const QStringList& args);
  // After the message loop: the main window goes (writing the settings)
  // and the loading thread, long done, is let go.
  void ExitInstance();

  CMainFrame* mainWindow() const { return frame_.get(); }

 private:
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace lotvue
