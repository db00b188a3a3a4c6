// lotvue_shots: starts the application on a file, puts it into a state
// worth looking at and saves a screenshot (or holds the state while an
// outside tool takes one). Used to check the look under a real X server.
//
//   lotvue_shots [options] FILE
//     --row N          scroll the report to row N (or "mid")
//     --x PIXELS       scroll the report horizontally
//     --per-device     choose "Per Device"
//     --lines          switch Show Line on
//     --select ROW     click row ROW (counted from the first visible row)
//     --language L     interface language 0, 1 or 2 (not saved)
//     --menu POS       open the menu-bar menu at POS
//     --progress       take the picture while the file is still loading
//     --child-max      maximise the report window
//     --sort COL       click the title cell of record column COL (twice: "COL,COL")
//     --failed         show the failed devices only
//     --select-to ROW  extend the selection to ROW (counted like --select)
//     --zoom H         report font height H
//     --dialog NAME    open a dialog (format, language, about) for the picture,
//                      or "stats": the item statistics window, once its table is done
//     --tab N          the statistics window's tab (0 histogram, 1 trend, 2 bins)
//     --grab OUT.png   save the screen (X) or the main window (offscreen)
//     --hold SECONDS   keep running that long afterwards
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QMenu>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include <QTimer>

#include "analysis/analysis_commands.h"
#include "analysis/item_stats_window.h"
#include "app/child_frame.h"
#include "app/commands.h"
#include "app/lotvue_app.h"
#include "app/main_frame.h"
#include "core/app_settings.h"
#include "core/language.h"
#include "core/loader.h"
#include "view/report_view.h"

using namespace lotvue;

namespace {

bool WaitFor(const std::function<bool()>& cond, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!cond()) {
    if (t.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lotvue"));
  QString file, row, grab, dialog;
  int x = 0, select = -1, selectTo = -1, language = -1, menu = -1, hold = 0, zoom = 0, tab = 0;
  bool perDevice = false, lines = false, progress = false, childMax = false, failed = false;
  QStringList sorts;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    auto next = [&] { return i + 1 < args.size() ? args[++i] : QString(); };
    if (a == "--row") row = next();
    else if (a == "--x") x = next().toInt();
    else if (a == "--per-device") perDevice = true;
    else if (a == "--lines") lines = true;
    else if (a == "--select") select = next().toInt();
    else if (a == "--language") language = next().toInt();
    else if (a == "--menu") menu = next().toInt();
    else if (a == "--progress") progress = true;
    else if (a == "--child-max") childMax = true;
    else if (a == "--sort") sorts = next().split(',');
    else if (a == "--failed") failed = true;
    else if (a == "--select-to") selectTo = next().toInt();
    else if (a == "--zoom") zoom = next().toInt();
    else if (a == "--grab") grab = next();
    else if (a == "--dialog") dialog = next();
    else if (a == "--hold") hold = next().toInt();
    else if (a == "--tab") tab = next().toInt();
    else file = a;
  }
  if (file.isEmpty()) {
    std::fprintf(stderr, "usage: lotvue_shots [options] FILE\n");
    return 2;
  }

  CLotvueApp app;
  app.InitInstance({QStringLiteral("lotvue"), file});
  if (language >= 0) SelectLanguageTable(language);
  CMainFrame* frame = app.mainWindow();
  RegisterAnalysisCommands(*frame);
  frame->ApplyMenuTitles();
  frame->RefreshToolTips();
  if (lines) AppSettings.ShowLine = 1;

  if (!WaitFor([] { return !OpenViewList.empty(); }, 10000)) {
    std::fprintf(stderr, "no report window\n");
    return 1;
  }
  CLotvueView* view = OpenViewList.back();
  if (childMax) frame->FrameOf(view)->showMaximized();
  if (progress) {
    WaitFor([view] { return view->IsLoading() && LoadingLot.recordsRead.load() > LoadingLot.devices() / 3; }, 60000);
  } else {
    WaitFor([view] { return view->Lot.loadState.load() == kRead || view->failure() != LoadOutcome::kNone; }, 60000);
    if (perDevice) {
      view->Lot.viewFormat = 0;
      view->RebuildGrid();
    }
    for (const QString& column : sorts) view->SortByColumn(column.toInt());
    if (failed) view->SetFilter({RowFilterKind::kFailed, 0, ""});
    if (zoom) view->SetFontHeight(zoom);
    if (row == "mid") view->ScrollToRow(view->grid().rowCount / 2);
    else if (!row.isEmpty()) view->ScrollToRow(row.toInt());
    if (x) view->ScrollToX(x);
    if (select >= 0) view->SetSelectionMark(view->grid().firstRow + select);
    if (selectTo >= 0) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier);
      for (int i = select; i < selectTo; ++i) QApplication::sendEvent(view, &press);
    }
  }
  frame->UpdateCommands();
  view->viewport()->update();
  Pump(progress ? 50 : 300);
  if (menu >= 0) {
    const QList<QAction*> tops = frame->menuBar()->actions();
    if (menu < tops.size() && tops[menu]->menu()) {
      frame->menuBar()->setActiveAction(tops[menu]);
      Pump(300);
    }
  }
  auto save = [&](QWidget* window) {
    if (grab.isEmpty()) return;
    QPixmap shot;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
      shot = QGuiApplication::primaryScreen()->grabWindow(0);
    } else if (QWidget* modal = QApplication::activeModalWidget()) {
      shot = modal->grab();
    } else {
      shot = window->grab();
    }
    shot.save(grab);
    std::printf("saved %s\n", qPrintable(grab));
  };
  if (dialog == "stats") {
    frame->RunCommand(kCmdNormalDistribution);
    CItemStatsWindow* stats = frame->findChild<CItemStatsWindow*>();
    if (!stats) {
      std::fprintf(stderr, "no statistics window\n");
      return 1;
    }
    WaitFor([stats] { return stats->TableReady(); }, 60000);
    stats->findChild<QTabWidget*>()->setCurrentIndex(tab);
    Pump(500);
    save(stats);
  } else if (!dialog.isEmpty()) {
    const int id = dialog == "format" ? kCmdFormat : dialog == "language" ? kCmdLanguage : kCmdAbout;
    QTimer::singleShot(700, [&] {
      save(frame);
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    frame->RunCommand(id);
  } else {
    save(frame);
  }
  std::fflush(stdout);
  Pump(hold * 1000);
  if (progress) WaitFor([] { return LoaderIdle() && LoadingLot.loadState.load() == kIdle; }, 60000);
  // Leave without waiting for anything more.
  if (QMenu* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) popup->close();
  while (!LoaderIdle()) Pump(20);
  app.ExitInstance();
  return 0;
}
