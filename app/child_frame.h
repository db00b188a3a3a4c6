// CChildFrame: the MDI child window that holds one report view and keeps
// the main window's title on the file it shows.
#pragma once

#include <functional>
#include <string>

#include <QMdiSubWindow>

namespace lotvue {

class CFilterBar;
class CFindBar;
class CGoToBar;
class CLotvueView;

class CChildFrame : public QMdiSubWindow {
  Q_OBJECT

 public:
  // The caption and m_strPath become the last entry of OpenPathList (the
  // file being opened).
  explicit CChildFrame(QWidget* parent = nullptr);
  ~CChildFrame() override;

  std::string m_strPath;
  CLotvueView* view() const { return view_; }
  // The view, with the filter bar above it and the go-to and find bars
  // below it (hidden until asked for).
  void SetView(CLotvueView* view);

  // Ctrl+F, Ctrl+G: the bar shown with the keyboard in its text.
  void OpenFindBar();
  void OpenGoToBar();
  // The filter bar shown, or hidden with every device shown again.
  void ToggleFilterBar();
  // The bars in the current language (after a change of language).
  void RetranslateBars();
  CFindBar* findBar() const { return findBar_; }
  CGoToBar* goToBar() const { return goToBar_; }
  CFilterBar* filterBar() const { return filterBar_; }

  // Called after the frame has left both lists (the main window updates
  // its title and menus).
  std::function<void()> onDestroyed;

 protected:
  void closeEvent(QCloseEvent* event) override;  // refused while a file is read

 private:
  void OnDestroy();
  CLotvueView* view_ = nullptr;
  CFindBar* findBar_ = nullptr;
  CGoToBar* goToBar_ = nullptr;
  CFilterBar* filterBar_ = nullptr;
};

}  // namespace lotvue
