// CFrameMemory: what the main window keeps from one run to the next in
// Lotvue.ini (OptionsPath): the recently opened files, listed in both File
// menus above Exit, the window's size and state, and the report zoom that
// new report windows start with. A file that cannot be read or written is
// passed over silently: the program then starts as on a first run.
#pragma once

#include <string>
#include <vector>

#include <QObject>

class QAction;
class QMenu;

namespace lotvue {

class CMainFrame;

class CFrameMemory : public QObject {
  Q_OBJECT

 public:
  // Reads the recent files and the zoom and lists the files in the frame's
  // File menus (their menus and Exit command must exist).
  explicit CFrameMemory(CMainFrame& frame);

  // Newest first, at most kRecentFiles.
  const std::vector<std::string>& recentFiles() const { return recent_; }
  // An opened file goes to the top of the list, which is written at once.
  void Remember(const std::string& path);
  // The entry of a File menu: opens the file, or says that it is gone and
  // takes it off the list.
  void OpenRecent(const std::string& path);

  // The report font height of the last zoom.
  int fontHeight() const { return fontHeight_; }
  void SetFontHeight(int height);

  // Gives the window the size and state it had at the end of the last run;
  // false when none was kept (the caller chooses them then).
  bool RestoreWindow();
  // Writes the window's size and state, the zoom and the list.
  void SaveWindow();

 private:
  void ShowList();
  void WriteList();

  CMainFrame& frame_;
  std::vector<std::string> recent_;
  int fontHeight_;
  // The list's entries and separator in each File menu, above its Exit.
  std::vector<std::pair<QMenu*, std::vector<QAction*>>> menus_;
};

}  // namespace lotvue
