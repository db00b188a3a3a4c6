// CChildFrame: the MDI child window that holds one report view and keeps
// the main window's title on the file it shows.
#pragma once

#include <functional>
#include <string>

#include <QMdiSubWindow>

namespace lotvue {

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
  void SetView(CLotvueView* view);

  // Called after the frame has left both lists (the main window updates
  // its title and menus).
  std::function<void()> onDestroyed;

 protected:
  void closeEvent(QCloseEvent* event) override;  // refused while a file is read

 private:
  void OnDestroy();
  CLotvueView* view_ = nullptr;
};

}  // namespace lotvue
