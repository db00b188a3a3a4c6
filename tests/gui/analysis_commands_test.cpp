// DeviceQC (F4) and Only Show Fail in the running application, opening
// their dialogs on the active window's lot;
// the statistics window, one per report window.
#include <QAction>
#include <QDialog>
#include <QMdiArea>
#include <QTableView>
#include <QTableWidget>

#include "analysis/analysis_commands.h"
#include "analysis/device_qc_dlg.h"
#include "analysis/fail_list_dlg.h"
#include "analysis/item_stats_window.h"
#include "app/child_frame.h"
#include "app/commands.h"
#include "tests/core/lot_files.h"
#include "tests/gui/gui_fixture.h"

namespace lotvue::testing {
namespace {

class AnalysisCommands : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    RegisterAnalysisCommands(*frame);
  }
};

TEST_F(AnalysisCommands, OpenTheirDialogsOnTheActiveLot) {
  EXPECT_EQ(frame->action(kCmdDeviceQc)->shortcut(), QKeySequence(Qt::Key_F4));
  // (Their availability while a file loads: ReportView.CommandsWhileLoadingAndAfter.)
  ASSERT_TRUE(OpenLoaded(WriteTsd(dir, "LOT01.tsd", SmallLot(8, 3000).Bytes())));

  int devices = -1, items = -1;
  WhenModal([&](QWidget* w) {
    if (auto* qc = qobject_cast<CDeviceQcDlg*>(w)) {
      devices = qc->lot().devices();
      items = static_cast<QTableWidget*>(qc->Control(CDeviceQcDlg::IDC_SCATTER_LIST))->rowCount();
    }
    qobject_cast<QDialog*>(w)->accept();
  });
  frame->RunCommand(kCmdDeviceQc);
  EXPECT_EQ(devices, 3000);
  EXPECT_EQ(items, 8);

  int failed = -1;
  WhenModal([&](QWidget* w) {
    if (auto* fail = qobject_cast<CFailListDlg*>(w)) {
      failed = fail->list()->model()->rowCount();
      EXPECT_EQ(fail->csvPath(), dir + "/LOT01_Fail.CSV");
    }
    qobject_cast<QDialog*>(w)->accept();
  });
  frame->RunCommand(kCmdOnlyShowFail);
  EXPECT_EQ(failed, 1000);  // every third device failed (the dialog itself: FailListDialog)
  EXPECT_TRUE(messages.empty());
}

TEST_F(AnalysisCommands, OneStatisticsWindowPerReportWindowUsableWhileAnotherLoads) {
  CLotvueView* a = OpenLoaded(WriteTsd(dir, "A.tsd", SmallLot(3, 20).Bytes()));
  CLotvueView* b = OpenLoaded(WriteTsd(dir, "B.tsd", SmallLot(3, 30).Bytes()));
  ASSERT_TRUE(a && b);
  auto windows = [this] { return frame->findChildren<CItemStatsWindow*>(); };
  frame->RunCommand(kCmdNormalDistribution);
  frame->RunCommand(kCmdNormalDistribution);  // brought to the front, not opened again
  ASSERT_EQ(windows().size(), 1);
  EXPECT_EQ(windows()[0]->windowTitle().toStdString(), "Item Statistics - " + dir + "/B.tsd");
  frame->mdiArea()->setActiveSubWindow(frame->FrameOf(a));
  frame->RunCommand(kCmdNormalDistribution);
  ASSERT_EQ(windows().size(), 2);

  // While a large file loads, the windows work on their own lots.
  CLotvueView* c = Open(WriteTsd(dir, "C.tsd", tsd::GenerateLot({.devices = 100000})));
  for (CItemStatsWindow* w : windows()) {
    w->ShowItem(2);
    EXPECT_EQ(w->shownItem(), 2);
    EXPECT_TRUE(WaitFor([w] { return w->TableReady(); }));
    EXPECT_TRUE(w->SaveCsv());
  }
  ASSERT_TRUE(WaitLoaded(c));
  // A report window takes its statistics window along when it closes.
  frame->mdiArea()->setActiveSubWindow(frame->FrameOf(b));
  frame->RunCommand(kCmdClose);
  Settle();
  ASSERT_EQ(windows().size(), 1);
  EXPECT_TRUE(windows()[0]->windowTitle().endsWith(QStringLiteral("/A.tsd")));
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace lotvue::testing
