// What the program keeps between runs in Lotvue.ini (recent files, window
// size and state, zoom), and the Device QC dialog fitting the screen.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QSettings>

#include <filesystem>

#include "analysis/device_qc_dlg.h"
#include "app/commands.h"
#include "app/frame_memory.h"
#include "core/app_settings.h"
#include "tests/core/lot_files.h"
#include "tests/gui/gui_fixture.h"

namespace lotvue::testing {
namespace {

using Persist = GuiTest;

// A File menu's items from the first recent file on ("&1 /path", ..., separator, Exit).
QList<QAction*> RecentItems(QMenu* menu) {
  QList<QAction*> items = menu->actions();
  while (!items.isEmpty() && !items.front()->text().startsWith("&1 ")) items.pop_front();
  return items;
}

TEST_F(Persist, RecentFilesInTheMenusAndBackInTheNextRun) {
  std::vector<std::string> lots;
  for (int i = 0; i < 10; ++i) lots.push_back(WriteTsd(dir, "lot" + std::to_string(i) + ".tsd", SmallLot(2, 3).Bytes()));
  for (const std::string& lot : lots) frame->memory()->Remember(lot);
  ASSERT_TRUE(WaitLoaded(Open(lots[3])));  // again: to the top
  QStringList expected;
  for (int i : {3, 9, 8, 7, 6, 5, 4, 2}) expected << QStringLiteral("&%1 %2").arg(expected.size() + 1).arg(QString::fromStdString(lots[i]));
  DeleteFrame();
  MakeFrame();
  for (int menu : {kMainMenu, kReportMenu}) {
    const QList<QAction*> items = RecentItems(frame->TopMenu(menu, 0));
    ASSERT_EQ(items.size(), 10);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(items[i]->text(), expected[i]);
    EXPECT_TRUE(items[8]->isSeparator() && items[9] == frame->action(kCmdExit));
  }
  // A file that is gone is said and taken off; one that is there opens and goes to the top.
  std::filesystem::remove(lots[9]);
  RecentItems(frame->TopMenu(kMainMenu, 0))[1]->trigger();
  ASSERT_TRUE(messages.size() == 1 && messages[0].contains(QString::fromStdString(lots[9])));
  EXPECT_EQ(QSettings(QString::fromStdString(OptionsPath()), QSettings::IniFormat).value("Recent/Files").toStringList().size(), 7);
  RecentItems(frame->TopMenu(kMainMenu, 0))[2]->trigger();  // lot7
  ASSERT_TRUE(WaitLoaded(OpenViewList.back()));
  EXPECT_TRUE(OpenPathList.back() == lots[7] && frame->memory()->recentFiles().front() == lots[7]);
}

TEST_F(Persist, WindowAndZoomComeBackAndTheOtherFilesKeepTheirBytes) {
  const std::string lot = WriteTsd(dir, "a.tsd", SmallLot(2, 3).Bytes());
  const struct { QSize size; bool maximized; int zoom; } cases[] = {{{900, 600}, false, 30}, {{700, 500}, true, 8}};
  for (const auto& c : cases) {
    QSettings(QString::fromStdString(OptionsPath()), QSettings::IniFormat).setValue("Convert/XLSX", true);
    MakeFrame();
    frame->resize(c.size);
    if (c.maximized) frame->showMaximized();
    CLotvueView* view = nullptr;
    ASSERT_TRUE(WaitLoaded(view = Open(lot)));
    view->SetFontHeight(c.zoom);
    MakeFrame();  // the old one is deleted first
    QFile spec(QString::fromStdString(SettingsPath()));
    EXPECT_TRUE(spec.open(QIODevice::ReadOnly) && spec.readAll().toStdString() == SettingsFileText(AppSettingsData{}));
    EXPECT_TRUE(QSettings(QString::fromStdString(OptionsPath()), QSettings::IniFormat).value("Convert/XLSX").toBool());
    ASSERT_TRUE(frame->memory()->RestoreWindow());
    EXPECT_EQ(frame->isMaximized(), c.maximized);
    EXPECT_TRUE(c.maximized || frame->size() == c.size);
    ASSERT_TRUE(WaitLoaded(view = Open(lot)));
    EXPECT_EQ(view->Lot.fontHeight, c.zoom);
    EXPECT_EQ(view->grid().rowHeight, ReportRowHeight(ReportFont(c.zoom)));
  }
  // A Config folder that cannot be made: no window state, the list for this run, not a word.
  setenv("LOTVUE_CONFIG_DIR", (lot + "/Config").c_str(), 1);
  MakeFrame();
  EXPECT_FALSE(frame->memory()->RestoreWindow());
  ASSERT_TRUE(WaitLoaded(Open(lot)));
  EXPECT_EQ(RecentItems(frame->TopMenu(kReportMenu, 0)).front()->text(), "&1 " + QString::fromStdString(lot));
  DeleteFrame();
  EXPECT_TRUE(messages.empty());
}

// Within a screen's available geometry, and the charts taking the room when the dialog grows.
TEST(DeviceQcFit, FitsTheScreenAndTheChartsFollowItsSize) {
  RecordingPrompts prompts;
  CDeviceQcDlg dlg(MakeQcLot({"FVTH", "IR"}, {{" 1.000mV", " 2.000uA"}, {" 2.000mV", " 3.000uA"}}), prompts);
  for (const QRect& available : {QRect(0, 0, 1600, 1000), QRect(0, 0, 800, 500), QRect(0, 0, 720, 450)}) {
    dlg.FitInto(available);
    dlg.show();
    EXPECT_TRUE(dlg.width() <= available.width() && dlg.height() + 40 <= available.height());
    for (QWidget* w : dlg.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
      EXPECT_TRUE(!w->isVisible() || dlg.rect().contains(w->geometry())) << w->objectName().toStdString();
    const QRect scatter = dlg.scatterArea(), histogram = dlg.histogramArea();
    EXPECT_TRUE(scatter.width() > dlg.width() / 2 && scatter.bottom() < histogram.top());
    const QPoint xEdit = dlg.Control(CDeviceQcDlg::IDC_X_NUMBER)->pos();
    dlg.resize(dlg.size() + QSize(300, 200));
    QApplication::processEvents();
    EXPECT_EQ(dlg.scatterArea().width(), scatter.width() + 300);
    EXPECT_EQ(dlg.scatterArea().height() + dlg.histogramArea().height(), scatter.height() + histogram.height() + 200);
    EXPECT_EQ(dlg.Control(CDeviceQcDlg::IDC_X_NUMBER)->pos(), xEdit);
    dlg.hide();
  }
}

}  // namespace
}  // namespace lotvue::testing
