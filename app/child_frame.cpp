#include "app/child_frame.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMenu>
#include <QVBoxLayout>

#include "core/loader.h"
#include "view/report_bars.h"
#include "view/report_view.h"

namespace lotvue {

CChildFrame::CChildFrame(QWidget* parent) : QMdiSubWindow(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(QIcon(QStringLiteral(":/icons/report.png")));
  if (!OpenPathList.empty()) m_strPath = OpenPathList.back();
  setWindowTitle(QString::fromStdString(m_strPath));
  // The system menu's own shortcuts (Ctrl+W for Close among them) would
  // clash with the main window's commands; the menu keeps its entries.
  if (QMenu* menu = systemMenu()) {
    for (QAction* a : menu->actions()) a->setShortcut(QKeySequence());
  }
}

CChildFrame::~CChildFrame() { OnDestroy(); }

void CChildFrame::SetView(CLotvueView* view) {
  view_ = view;
  auto* body = new QWidget;
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  filterBar_ = new CFilterBar(*view, body);
  goToBar_ = new CGoToBar(*view, body);
  findBar_ = new CFindBar(*view, body);
  column->addWidget(filterBar_);
  column->addWidget(view, 1);
  column->addWidget(goToBar_);
  column->addWidget(findBar_);
  setWidget(body);
  setFocusProxy(view);
}

void CChildFrame::OpenFindBar() {
  goToBar_->Close();
  findBar_->Open();
}

void CChildFrame::OpenGoToBar() {
  findBar_->Close();
  goToBar_->Open();
}

void CChildFrame::RetranslateBars() {
  for (CReportBar* bar : std::initializer_list<CReportBar*>{findBar_, goToBar_, filterBar_}) {
    if (bar) bar->Retranslate();
  }
}

void CChildFrame::ToggleFilterBar() {
  if (!filterBar_->isHidden()) {
    filterBar_->Close();
  } else {
    filterBar_->Open();
  }
}

void CChildFrame::closeEvent(QCloseEvent* event) {
  if (!LoaderIdle()) {
    // Closing the window whose file is being read cancels the load; the
    // window closes when the loader has let the lot go. Others wait.
    if (view_) view_->CancelLoading();
    event->ignore();
    return;
  }
  QMdiSubWindow::closeEvent(event);
}

void CChildFrame::OnDestroy() {
  for (std::size_t k = 0; k < OpenPathList.size(); ++k) {
    if (OpenPathList[k] == m_strPath) {
      OpenPathList.erase(OpenPathList.begin() + static_cast<std::ptrdiff_t>(k));
      if (k < OpenViewList.size()) OpenViewList.erase(OpenViewList.begin() + static_cast<std::ptrdiff_t>(k));
      break;
    }
  }
  if (onDestroyed) onDestroyed();
}

}  // namespace lotvue
