// CMainFrame: the main window. An MDI area of report windows, the toolbar,
// the status bar, the two menus with their enabling rules, and the one
// routine that opens a result file, reached from the Open dialog, dropped
// files and the command line.
#pragma once

#include <functional>
#include <map>
#include <string>

#include <QMainWindow>
#include <QString>

#include "view/user_prompts.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace lotvue {

class CChildFrame;
class CFrameMemory;
class CLotvueView;

inline constexpr const char* kMainTitle = "TAVO LotVuer&QC";

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  // Construction: palette and settings defaults, the lists emptied, the
  // paths computed, the settings file read.
  CMainFrame();
  // Destruction writes the settings file and what the window keeps.
  ~CMainFrame() override;

  // Creation of the window's parts: toolbar, status bar, title, the command
  // line kept for the first resize (the first argument after the program),
  // the menu titles of the language.
  void OnCreate(const QString& commandLine);

  // The one routine that opens a file.
  void OpenResultFile(const QString& path);
  // Open command (32787): the file dialog, then the "tsd" test.
  void OnMenuFOpen();
  // Files dropped on the window: the first one counts.
  void OnDropFiles(const QStringList& paths);
  // Handles the kept command line once (the first resize does it).
  void HandleCommandLine();

  // Menu titles of the current menu bar from the language table.
  void ApplyMenuTitles();
  // The update routines of every command: texts, enabling, check marks.
  // Run when a menu opens and whenever what they depend on changes: a load
  // starts or is handed over, a conversion starts or ends, a report window
  // is activated or closed, a setting or the language changes.
  void UpdateCommands();
  // Toolbar tooltips from the language table.
  void RefreshToolTips();
  // Invalidates every report window.
  void RepaintAllViews();

  // Runs a command as the menus, toolbar and accelerators do (disabled
  // commands do nothing).
  void RunCommand(int commandId);
  // The handler of a command another part of the program provides.
  void SetCommandHandler(int commandId, std::function<void()> handler);

  QAction* action(int commandId) const;
  QMdiArea* mdiArea() const { return mdiArea_; }
  QToolBar* toolBar() const { return toolBar_; }
  // The report window that commands act on (the current MDI child's view).
  CLotvueView* ActiveView() const;
  CChildFrame* FrameOf(const CLotvueView* view) const;
  // 128 or 129: the menu the menu bar shows.
  int CurrentMenu() const { return currentMenu_; }
  QMenu* TopMenu(int menu, int position) const;
  const QString& commandLine() const { return m_strCmdLine; }
  // The recent files, the window's size and state and the zoom kept between runs.
  CFrameMemory* memory() const { return memory_; }

  // The file dialog of the Open command; tests put a stand-in here.
  std::function<QString(QWidget*)> openFileDialog;

  // How the program tells and asks the user: the desktop's boxes and
  // applications unless SetPrompts lent others (tests record them). Set
  // before the first report window opens: each window keeps the prompts it
  // was made with. Null brings the desktop's back.
  UserPrompts& prompts() const { return *prompts_; }
  void SetPrompts(UserPrompts* prompts) { prompts_ = prompts ? prompts : &desktopPrompts_; }

  // Given to every report window: converts its whole file at the hand-over
  // while a folder conversion waits for it (the export commands set it).
  std::function<void(CLotvueView&)> convertAtHandOver;

 protected:
  void closeEvent(QCloseEvent* event) override;    // OnClose
  void resizeEvent(QResizeEvent* event) override;  // OnSize
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateStatusBar();
  // The active window's "12,345 of 200,000 devices shown", or "Ready".
  void ShowIdleStatus();
  void ShowMenu(int menu);
  // A report window at its place in the cascade: index in opening order.
  void PlaceReportWindow(QMdiSubWindow* window, int index);
  // Window > Cascade: every report window large, in opening order.
  void Cascade();
  void OnSubWindowActivated(QMdiSubWindow* window);
  void OnChildDestroyed();
  void OnShowLine();
  void OnOnlyPass();
  void OnLanguage();
  void OnAbout();
  void ArrangeIcons();
  void FillWindowList();

  QMdiArea* mdiArea_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QString m_strCmdLine;
  std::map<int, QAction*> actions_;
  std::map<int, std::function<void()>> handlers_;
  QMenu* menus_[2][5] = {};  // [128, 129][position]
  int menuCount_[2] = {4, 5};
  int currentMenu_ = 0;
  QMenu* windowMenu_ = nullptr;
  QString programPath_;
  CFrameMemory* memory_ = nullptr;
  DesktopPrompts desktopPrompts_{this};
  UserPrompts* prompts_ = &desktopPrompts_;
};

// The window the program runs in (null before start-up and after the end).
CMainFrame* MainFrame();

}  // namespace lotvue
