#include "app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "app/about_dlg.h"
#include "app/child_frame.h"
#include "app/commands.h"
#include "app/frame_memory.h"
#include "app/language_dlg.h"
#include "core/app_settings.h"
#include "core/folder_list.h"
#include "core/frame_layout.h"
#include "core/grid_texts.h"
#include "core/language.h"
#include "core/loader.h"
#include "view/report_bars.h"
#include "view/report_view.h"

// The images of the toolbar and the windows, in the static GUI library.
static void InitResources() { Q_INIT_RESOURCE(lotvue); }

namespace lotvue {
namespace {

CMainFrame* mainFrame = nullptr;

QString Text(int slot) { return QString::fromUtf8(Lang(slot)); }

// The "tsd" test of every way in: the last three characters, any case.
bool EndsInTsd(const QString& path) { return IsResultFileName(path.toStdString()); }

struct CommandInfo {
  int id;
  int slot;              // text slot; -1: the fixed text below
  const char* fixedText; // resource text of the items the language leaves alone
  const char* icon;      // toolbar image
};

const CommandInfo kCommands[] = {
    {kCmdClose, kSlotClose, nullptr, nullptr},
    {kCmdOpen, kSlotOpenItem, nullptr, "open"},
    {kCmdConvertAllFiles, kSlotConvertAllFiles, nullptr, nullptr},
    {kCmdConvertDetail, kSlotConvertDetail, nullptr, nullptr},
    {kCmdConvert, kSlotConvert, nullptr, "convert"},
    {kCmdConvertSetup, kSlotConvertSetup, nullptr, "convert_setup"},
    {kCmdConvertScientific, kSlotConvertScientific, nullptr, "convert_scientific"},
    {kCmdConvertData, kSlotConvertData, nullptr, "convert_data"},
    {kCmdConvertStdf, -1, "Convert to STDF", nullptr},
    {kCmdConvertXlsx, -1, "Convert to XLSX", nullptr},
    {kCmdExit, kSlotExit, nullptr, nullptr},
    {kCmdToolBar, kSlotToolBar, nullptr, nullptr},
    {kCmdStatusBar, kSlotStatusBar, nullptr, nullptr},
    {kCmdFormat, kSlotFormat, nullptr, "format"},
    {kCmdShowLine, kSlotShowLine, nullptr, "show_line"},
    {kCmdOnlyPass, kSlotOnlyPass, nullptr, nullptr},
    {kCmdDeviceQc, kSlotDeviceQc, nullptr, "device_qc"},
    {kCmdLanguage, kSlotLanguage, nullptr, nullptr},
    {kCmdNormalDistribution, -1, "正态分布图", nullptr},
    {kCmdOnlyShowFail, kSlotOnlyShowFail, nullptr, "only_show_fail"},
    {kCmdCascade, kSlotCascade, nullptr, nullptr},
    {kCmdTile, kSlotTile, nullptr, nullptr},
    {kCmdArrangeIcons, kSlotArrangeIcons, nullptr, nullptr},
    {kCmdAbout, kSlotAbout, nullptr, nullptr},
    {kCmdFind, -1, nullptr, nullptr},
    {kCmdGoToDevice, -1, nullptr, nullptr},
    {kCmdFilterBar, -1, nullptr, nullptr},
};

// Commands whose texts are not in the language table.
const std::pair<int, GridText> kGridCommandTexts[] = {
    {kCmdFind, kGtFindCommand}, {kCmdGoToDevice, kGtGoToCommand}, {kCmdFilterBar, kGtFilterBarCommand}};

// Tooltips of the toolbar buttons.
const std::pair<int, int> kToolTips[] = {
    {kCmdOpen, kSlotTipOpenFile},       {kCmdConvert, kSlotTipConvertFile},
    {kCmdConvertSetup, kSlotTipConvertSetup}, {kCmdConvertScientific, kSlotTipConvertScientific},
    {kCmdConvertData, kSlotTipConvertData}, {kCmdDeviceQc, kSlotTipDeviceQc},
    {kCmdFormat, kSlotTipFormat},       {kCmdShowLine, kSlotTipShowLine},
    {kCmdOnlyShowFail, kSlotTipShowFail},
};

// Commands that the report window handles: without a report window they
// have no handler and their toolbar buttons are grey.
bool IsViewCommand(int id) {
  switch (id) {
    case kCmdClose:
    case kCmdConvert:
    case kCmdConvertSetup:
    case kCmdConvertScientific:
    case kCmdConvertData:
    case kCmdConvertStdf:
    case kCmdConvertXlsx:
    case kCmdFormat:
    case kCmdDeviceQc:
    case kCmdNormalDistribution:
    case kCmdOnlyShowFail:
    case kCmdFind:
    case kCmdGoToDevice:
    case kCmdFilterBar:
      return true;
    default:
      return false;
  }
}

// Menu titles in resource order: File, View, Tool, [Window,] Help.
const int kMainTitles[] = {kSlotFileMenu, kSlotViewMenu, kSlotToolMenu, kSlotHelpMenu};
const int kReportTitles[] = {kSlotFileMenu, kSlotViewMenu, kSlotToolMenu, kSlotWindowMenu, kSlotHelpMenu};

}  // namespace

CMainFrame* MainFrame() { return mainFrame; }

CMainFrame::CMainFrame() {
  InitResources();
  mainFrame = this;
  // The palette of the report is constant data (core/report_paint.h).
  AppSettings = AppSettingsData{};
  BatchConverting = 0;
  OpenViewList.clear();
  OpenPathList.clear();
  programPath_ = QCoreApplication::applicationFilePath();
  m_strCmdLine.clear();
  LoadSettings();
}

CMainFrame::~CMainFrame() {
  // The report windows go first, while the lists they leave still exist.
  // (closed ones that wait for their deletion included).
  for (CChildFrame* child : findChildren<CChildFrame*>()) {
    child->onDestroyed = nullptr;
    delete child;
  }
  SaveSettings();
  if (memory_) memory_->SaveWindow();
  if (mainFrame == this) mainFrame = nullptr;
}

void CMainFrame::OnCreate(const QString& commandLine) {
  setWindowIcon(QIcon(QStringLiteral(":/icons/lotvue.png")));
  mdiArea_ = new QMdiArea(this);
  mdiArea_->setBackground(QColor(128, 128, 128));
  mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdiArea_);
  connect(mdiArea_, &QMdiArea::subWindowActivated, this, &CMainFrame::OnSubWindowActivated);

  CreateActions();
  CreateMenus();
  memory_ = new CFrameMemory(*this);
  CreateToolBar();
  CreateStatusBar();
  setAcceptDrops(true);

  setWindowTitle(QString::fromUtf8(kMainTitle));
  m_strCmdLine = commandLine.trimmed();
  ApplyMenuTitles();
  RefreshToolTips();
  UpdateCommands();
}

void CMainFrame::CreateActions() {
  for (const CommandInfo& info : kCommands) {
    auto* a = new QAction(this);
    a->setData(info.id);
    if (info.icon) a->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(info.icon))));
    a->setIconVisibleInMenu(false);  // the images belong to the toolbar
    if (info.fixedText) a->setText(QString::fromUtf8(info.fixedText));
    a->setMenuRole(QAction::NoRole);
    connect(a, &QAction::triggered, this, [this, id = info.id] { RunCommand(id); });
    actions_[info.id] = a;
    addAction(a);  // the accelerators work whichever menu is shown
  }
  action(kCmdShowLine)->setCheckable(true);
  action(kCmdFilterBar)->setCheckable(true);
  action(kCmdOnlyPass)->setCheckable(true);
  // Accelerator table 128.
  action(kCmdOpen)->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_O), QKeySequence(Qt::Key_F1)});
  action(kCmdConvert)->setShortcut(QKeySequence(Qt::Key_F2));
  action(kCmdConvertSetup)->setShortcut(QKeySequence(Qt::Key_F3));
  action(kCmdDeviceQc)->setShortcut(QKeySequence(Qt::Key_F4));
  action(kCmdFormat)->setShortcut(QKeySequence(Qt::Key_F5));
  action(kCmdClose)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
  action(kCmdFind)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  action(kCmdGoToDevice)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  action(kCmdFilterBar)->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
  for (auto& [id, a] : actions_) a->setShortcutContext(Qt::WindowShortcut);
}

void CMainFrame::CreateMenus() {
  auto add = [this](QMenu* menu, std::initializer_list<int> ids) {
    for (int id : ids) {
      if (id == 0) {
        menu->addSeparator();
      } else {
        menu->addAction(action(id));
      }
    }
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);
  };
  // Menu 128.
  QMenu** m = menus_[0];
  for (int i = 0; i < 4; ++i) m[i] = new QMenu(this);
  m[0]->setTitle(QStringLiteral("&File"));
  m[1]->setTitle(QStringLiteral("&View"));
  m[2]->setTitle(QStringLiteral("&Tool"));
  m[3]->setTitle(QStringLiteral("&Help"));
  add(m[0], {kCmdOpen, 0, kCmdConvertAllFiles, kCmdConvertDetail, 0, kCmdExit});
  add(m[1], {kCmdToolBar, kCmdStatusBar, 0, kCmdShowLine, kCmdOnlyPass});
  add(m[2], {kCmdLanguage});
  add(m[3], {kCmdAbout});
  // Menu 129.
  QMenu** r = menus_[1];
  for (int i = 0; i < 5; ++i) r[i] = new QMenu(this);
  r[0]->setTitle(QStringLiteral("&File"));
  r[1]->setTitle(QStringLiteral("&View"));
  r[2]->setTitle(QStringLiteral("&Tool"));
  r[3]->setTitle(QStringLiteral("&Window"));
  r[4]->setTitle(QStringLiteral("&Help"));
  add(r[0], {kCmdClose, kCmdOpen, 0, kCmdConvert, kCmdConvertSetup, kCmdConvertDetail, kCmdConvertScientific,
             kCmdConvertData, kCmdConvertXlsx, kCmdConvertStdf, 0, kCmdExit});
  add(r[1], {kCmdToolBar, kCmdStatusBar, 0, kCmdFormat, kCmdShowLine, kCmdOnlyPass, 0, kCmdFind, kCmdGoToDevice,
             kCmdFilterBar});
  add(r[2], {kCmdDeviceQc, kCmdLanguage, kCmdNormalDistribution, kCmdOnlyShowFail});
  add(r[3], {kCmdCascade, kCmdTile, kCmdArrangeIcons});
  add(r[4], {kCmdAbout});
  windowMenu_ = r[3];
  connect(windowMenu_, &QMenu::aboutToShow, this, &CMainFrame::FillWindowList);
  ShowMenu(kMainMenu);
}

void CMainFrame::ShowMenu(int menu) {
  if (currentMenu_ == menu) return;
  currentMenu_ = menu;
  const int which = menu == kReportMenu ? 1 : 0;
  menuBar()->clear();
  for (int i = 0; i < menuCount_[which]; ++i) menuBar()->addMenu(menus_[which][i]);
}

QMenu* CMainFrame::TopMenu(int menu, int position) const {
  const int which = menu == kReportMenu ? 1 : 0;
  if (position < 0 || position >= menuCount_[which]) return nullptr;
  return menus_[which][position];
}

void CMainFrame::CreateToolBar() {
  toolBar_ = new QToolBar(QStringLiteral("Toolbar"), this);
  toolBar_->setObjectName(QStringLiteral("toolbar128"));
  toolBar_->setIconSize(QSize(41, 26));
  toolBar_->setMovable(true);
  toolBar_->setFloatable(true);
  toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
  toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  bool first = true;
  for (int id : kToolbarCommands) {
    if (!first) toolBar_->addSeparator();
    first = false;
    toolBar_->addAction(action(id));
  }
  addToolBar(Qt::TopToolBarArea, toolBar_);
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->showMessage(QStringLiteral("Ready"));
  for (const char* key : {"CAP", "NUM", "SCRL"}) {
    auto* pane = new QLabel(QString::fromLatin1(key), bar);
    pane->setFrameShape(QFrame::Panel);
    pane->setFrameShadow(QFrame::Sunken);
    pane->setEnabled(false);
    bar->addPermanentWidget(pane);
  }
  // The message pane falls back to the active window's row count, or to
  // "Ready", once a fly-by text is gone.
  connect(bar, &QStatusBar::messageChanged, this, [this](const QString& text) {
    if (text.isEmpty()) ShowIdleStatus();
  });
}

void CMainFrame::ShowIdleStatus() {
  const CLotvueView* view = ActiveView();
  const std::string rows = view ? view->StatusText() : std::string();
  statusBar()->showMessage(rows.empty() ? QStringLiteral("Ready") : QString::fromStdString(rows));
}

QAction* CMainFrame::action(int commandId) const {
  const auto it = actions_.find(commandId);
  return it == actions_.end() ? nullptr : it->second;
}

CLotvueView* CMainFrame::ActiveView() const {
  if (!mdiArea_) return nullptr;
  QMdiSubWindow* w = mdiArea_->currentSubWindow();
  if (!w) w = mdiArea_->activeSubWindow();
  auto* frame = qobject_cast<CChildFrame*>(w);
  return frame ? frame->view() : nullptr;
}

CChildFrame* CMainFrame::FrameOf(const CLotvueView* view) const {
  if (!mdiArea_) return nullptr;
  for (QMdiSubWindow* w : mdiArea_->subWindowList()) {
    auto* frame = qobject_cast<CChildFrame*>(w);
    if (frame && frame->view() == view) return frame;
  }
  return nullptr;
}

void CMainFrame::ApplyMenuTitles() {
  const QList<QAction*> tops = menuBar()->actions();
  const int* titles = tops.size() == 5 ? kReportTitles : kMainTitles;
  const int count = tops.size() == 5 ? 5 : 4;
  for (int i = 0; i < count && i < tops.size(); ++i) {
    if (QMenu* menu = tops[i]->menu()) menu->setTitle(Text(titles[i]));
  }
  menuBar()->update();
}

void CMainFrame::RefreshToolTips() {
  for (const auto& [id, slot] : kToolTips) action(id)->setToolTip(Text(slot));
}

void CMainFrame::UpdateCommands() {
  if (actions_.empty()) return;
  const bool idle = LoaderIdle();
  CLotvueView* view = ActiveView();
  for (const CommandInfo& info : kCommands) {
    QAction* a = action(info.id);
    if (info.slot >= 0) {
      const QString text = Text(info.slot);
      if (a->text() != text) a->setText(text);
    }
    bool enabled = true;
    switch (info.id) {
      case kCmdClose:
      case kCmdOpen:
      case kCmdConvertAllFiles:
      case kCmdConvert:
      case kCmdConvertSetup:
      case kCmdConvertScientific:
      case kCmdConvertData:
      case kCmdConvertStdf:
      case kCmdConvertXlsx:
      case kCmdOnlyPass:
      case kCmdDeviceQc:
      case kCmdOnlyShowFail:
        enabled = idle;
        break;
      case kCmdFormat:
        enabled = view && view->FormatEnabled == 1;
        break;
      case kCmdFind:
      case kCmdGoToDevice:
      case kCmdFilterBar:  // on the rows of a report that is there
        enabled = view && view->Lot.loadState.load() == kRead && view->Lot.viewFormat == kFormatMatrix;
        break;
      default:
        break;
    }
    if (IsViewCommand(info.id) && !view) enabled = false;
    if (a->isEnabled() != enabled) a->setEnabled(enabled);
  }
  for (const auto& [id, text] : kGridCommandTexts) {
    if (action(id)->text() != QString::fromUtf8(GridTextOf(text))) action(id)->setText(QString::fromUtf8(GridTextOf(text)));
  }
  const CChildFrame* child = FrameOf(view);
  action(kCmdFilterBar)->setChecked(child && child->filterBar() && !child->filterBar()->isHidden());
  action(kCmdShowLine)->setChecked(AppSettings.ShowLine == 1);
  action(kCmdOnlyPass)->setChecked(AppSettings.AvgStdOnlyPass == 1);
}

void CMainFrame::SetCommandHandler(int commandId, std::function<void()> handler) {
  handlers_[commandId] = std::move(handler);
}

void CMainFrame::RunCommand(int id) {
  UpdateCommands();
  QAction* a = action(id);
  if (!a || !a->isEnabled()) return;
  const auto handler = handlers_.find(id);
  if (handler != handlers_.end() && handler->second) {
    handler->second();
    UpdateCommands();
    return;
  }
  CLotvueView* view = ActiveView();
  switch (id) {
    case kCmdOpen:
      OnMenuFOpen();
      break;
    case kCmdClose:
      if (view) view->OnFileClose();
      break;
    case kCmdExit:
      close();
      break;
    case kCmdToolBar:
      toolBar_->setVisible(!toolBar_->isVisible());
      break;
    case kCmdStatusBar:
      statusBar()->setVisible(!statusBar()->isVisible());
      break;
    case kCmdFormat:
      if (view) view->OnViewFormat();
      break;
    case kCmdFind:
      if (CChildFrame* child = FrameOf(view)) child->OpenFindBar();
      break;
    case kCmdGoToDevice:
      if (CChildFrame* child = FrameOf(view)) child->OpenGoToBar();
      break;
    case kCmdFilterBar:
      if (CChildFrame* child = FrameOf(view)) child->ToggleFilterBar();
      break;
    case kCmdShowLine:
      OnShowLine();
      break;
    case kCmdOnlyPass:
      OnOnlyPass();
      break;
    case kCmdLanguage:
      OnLanguage();
      break;
    case kCmdCascade:
      Cascade();
      break;
    case kCmdTile:
      mdiArea_->tileSubWindows();
      break;
    case kCmdArrangeIcons:
      ArrangeIcons();
      break;
    case kCmdAbout:
      OnAbout();
      break;
    default:
      break;
  }
  UpdateCommands();
}

void CMainFrame::OnShowLine() {
  AppSettings.ShowLine = AppSettings.ShowLine == 1 ? 0 : 1;
  RepaintAllViews();
}

void CMainFrame::OnOnlyPass() {
  AppSettings.AvgStdOnlyPass = AppSettings.AvgStdOnlyPass == 1 ? 0 : 1;
  RepaintAllViews();
}

void CMainFrame::RepaintAllViews() {
  for (CLotvueView* view : OpenViewList) view->viewport()->update();
}

void CMainFrame::OnLanguage() {
  CLanguageDlg dialog(this);
  dialog.m_nLanguage = LanguageTable.language;
  if (dialog.exec() != QDialog::Accepted) return;
  for (CChildFrame* child : findChildren<CChildFrame*>()) child->RetranslateBars();
  ApplyMenuTitles();
  RefreshToolTips();
  UpdateCommands();
  ShowIdleStatus();
}

void CMainFrame::OnAbout() {
  CAboutDlg dialog(this);
  dialog.exec();
}

void CMainFrame::ArrangeIcons() {
  // Minimised report windows in a row along the bottom of the MDI area.
  int x = 0;
  const int bottom = mdiArea_->viewport()->height();
  for (QMdiSubWindow* w : mdiArea_->subWindowList()) {
    if (!w->isMinimized()) continue;
    w->move(x, bottom - w->height());
    x += w->width();
  }
}

void CMainFrame::FillWindowList() {
  // The framework's list of open windows under the Window menu's own items.
  const QList<QAction*> items = windowMenu_->actions();
  for (int i = 3; i < items.size(); ++i) {
    windowMenu_->removeAction(items[i]);
    if (items[i]->parent() == windowMenu_) delete items[i];
  }
  const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList();
  if (windows.isEmpty()) return;
  windowMenu_->addSeparator();
  int n = 1;
  for (QMdiSubWindow* w : windows) {
    QAction* a = windowMenu_->addAction(QStringLiteral("&%1 %2").arg(n++).arg(w->windowTitle()));
    a->setCheckable(true);
    a->setChecked(w == mdiArea_->currentSubWindow());
    connect(a, &QAction::triggered, this, [this, w] { mdiArea_->setActiveSubWindow(w); });
  }
}

void CMainFrame::OpenResultFile(const QString& requested) {
  if (!LoaderIdle()) {
    prompts_->ShowMessage(this, Text(kSlotLoadingWait));
    return;
  }
  const std::string path = QDir::cleanPath(QFileInfo(requested).absoluteFilePath()).toStdString();
  if (QFileInfo::exists(QString::fromStdString(path))) memory_->Remember(path);
  for (std::size_t k = 0; k < OpenPathList.size(); ++k) {
    if (OpenPathList[k] == path) {
      if (k < OpenViewList.size()) {
        if (CChildFrame* frame = FrameOf(OpenViewList[k])) mdiArea_->setActiveSubWindow(frame);
      }
      return;
    }
  }
  OpenPathList.push_back(path);
  LoadingLot.Reset();
  LoadingLot.path = path;
  LoadingLot.fontHeight = memory_->fontHeight();  // the zoom the window keeps at the hand-over

  auto* frame = new CChildFrame;
  auto* view = new CLotvueView(*prompts_);
  view->convertAtHandOver = [this](CLotvueView& v) {
    if (convertAtHandOver) convertAtHandOver(v);
  };
  view->SetFontHeight(memory_->fontHeight());
  connect(view, &CLotvueView::fontHeightChanged, memory_, &CFrameMemory::SetFontHeight);
  frame->SetView(view);
  frame->onDestroyed = [this] { OnChildDestroyed(); };
  mdiArea_->addSubWindow(frame);
  PlaceReportWindow(frame, static_cast<int>(mdiArea_->subWindowList().size()) - 1);
  ShowMenu(kReportMenu);
  frame->show();
  mdiArea_->setActiveSubWindow(frame);
  view->OnCreate();
  connect(view, &CLotvueView::loadFinished, this, &CMainFrame::UpdateCommands);
  // The status bar says how many devices the active window shows, and in which order.
  connect(view, &CLotvueView::rowsChanged, this, [this, view] {
    if (ActiveView() == view) ShowIdleStatus();
  });
  if (OpenPathList.size() == 1) ApplyMenuTitles();
  OnSubWindowActivated(frame);
  UpdateCommands();
}

void CMainFrame::PlaceReportWindow(QMdiSubWindow* window, int index) {
  const QSize area = mdiArea_->viewport()->size();
  if (area.width() < 100 || area.height() < 100) return;
  const int step = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
  const FrameRect r = CascadeRect(area.width(), area.height(), index, std::max(step, 16));
  window->setGeometry(r.x, r.y, r.width, r.height);
}

void CMainFrame::Cascade() {
  // In opening order, each as large as a new window; the active one stays on top.
  QMdiSubWindow* active = mdiArea_->activeSubWindow();
  const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList(QMdiArea::CreationOrder);
  for (int i = 0; i < windows.size(); ++i) {
    if (windows[i]->isMinimized() || windows[i]->isMaximized()) windows[i]->showNormal();
    PlaceReportWindow(windows[i], i);
    windows[i]->raise();
  }
  if (active) active->raise();
}

void CMainFrame::OnSubWindowActivated(QMdiSubWindow* window) {
  UpdateCommands();
  auto* frame = qobject_cast<CChildFrame*>(window);
  if (!frame) return;
  if (frame->view() && !frame->view()->StatusText().empty()) {
    statusBar()->showMessage(QString::fromStdString(frame->view()->StatusText()));
  }
  setWindowTitle(QStringLiteral("%1 - %2").arg(QString::fromUtf8(kMainTitle), QString::fromStdString(frame->m_strPath)));
}

void CMainFrame::OnChildDestroyed() {
  if (OpenPathList.empty()) {
    setWindowTitle(QString::fromUtf8(kMainTitle));
    ShowMenu(kMainMenu);
  }
  // The next frame to become current announces itself; until then the
  // commands and the status line follow what is left.
  QTimer::singleShot(0, this, [this] {
    UpdateCommands();
    ShowIdleStatus();
  });
}

void CMainFrame::OnMenuFOpen() {
  QString path;
  if (openFileDialog) {
    path = openFileDialog(this);
  } else {
    path = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(),
                                        QStringLiteral("TSF Files(*.tsd);;All Files(*.*)"));
  }
  if (path.isEmpty()) return;  // Cancel
  if (!EndsInTsd(path)) {
    prompts_->ShowMessage(this, QStringLiteral("%1(OnMenuFOpen)").arg(Text(kSlotIsNotTsdFile)));
    return;
  }
  OpenResultFile(path);
}

void CMainFrame::OnDropFiles(const QStringList& paths) {
  if (paths.isEmpty()) return;
  const QString path = paths.front().left(255);
  if (!EndsInTsd(path)) {
    prompts_->ShowMessage(this, QStringLiteral("%1(OnDrop)").arg(Text(kSlotIsNotTsdFile)));
    return;
  }
  OpenResultFile(path);
}

void CMainFrame::HandleCommandLine() {
  if (m_strCmdLine.isEmpty()) return;
  const QString argument = m_strCmdLine;
  m_strCmdLine.clear();  // later resizes do nothing
  if (!EndsInTsd(argument)) {
    prompts_->ShowMessage(this, QStringLiteral("%1.(OnSize) \r\narg=%2,path=%3").arg(Text(kSlotIsNotTsdFile), argument, programPath_));
    return;
  }
  OpenResultFile(argument);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (!m_strCmdLine.isEmpty()) {
    // After the resize has been seen through, like a posted size message.
    QTimer::singleShot(0, this, &CMainFrame::HandleCommandLine);
  }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (!LoaderIdle()) {
    event->ignore();  // no window closes while a file is read or converted
    return;
  }
  QMainWindow::closeEvent(event);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  event->acceptProposedAction();
  OnDropFiles(paths);
}

}  // namespace lotvue
