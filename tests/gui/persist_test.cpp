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
#include "tests/core/qc_lot.h"
#include "tests/gui/gui_fixture.h"

namespace lotvue::testing {
namespace {

using Persist = GuiTest;

// The texts of a File menu's recent-file entries ("&1 /path").
QStringList RecentEntries(QMenu* menu) {
  QStringList texts;
  for (QAction* a : menu->actions()) {
    if (a->text().startsWith('&') && a->text().at(1).isDigit()) texts << a->text();
  }
  return texts;
}

QString ReadAll(const std::string& path) {
  QFile f(QString::fromStdString(path));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<missing>");
}

TEST_F(Persist, RecentFilesInTheMenusAndBackInTheNextRun) {
  std::vector<std::string> lots;
  for (int i = 0; i < 10; ++i) lots.push_back(WriteTsd(dir, "lot" + std::to_string(i) + ".tsd", SmallLot(2, 3).Bytes()));
  for (const std::string& lot : lots) frame->memory()->Remember(lot);
  CLotvueView* view = Open(lots[3]);  // again: to the top
  ASSERT_TRUE(WaitLoaded(view));
  const std::vector<int> order = {3, 9, 8, 7, 6, 5, 4, 2};  // newest first, eight of them
  QStringList expected;
  for (std::size_t i = 0; i < order.size(); ++i) expected << QStringLiteral("&%1 %2").arg(i + 1).arg(QString::fromStdString(lots[order[i]]));
  DeleteFrame();
  MakeFrame();
  for (int menu : {kMainMenu, kReportMenu}) {
    QMenu* file = frame->TopMenu(menu, 0);
    EXPECT_EQ(RecentEntries(file), expected);
    const QList<QAction*> items = file->actions();  // the list, a separator, Exit
    ASSERT_GE(items.size(), 3);
    EXPECT_EQ(items.end()[-1], frame->action(kCmdExit));
    EXPECT_TRUE(items.end()[-2]->isSeparator());
    EXPECT_EQ(items.end()[-3]->text(), expected.back());
  }
  // A file that is gone: said, and off the list and the file; one that is there opens.
  std::filesystem::remove(lots[9]);
  for (QAction* a : frame->TopMenu(kMainMenu, 0)->actions()) {
    if (a->text() == expected[1]) a->trigger();
  }
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].contains(QString::fromStdString(lots[9])));
  EXPECT_EQ(frame->memory()->recentFiles().size(), 7u);
  EXPECT_FALSE(ReadAll(config + "/Lotvue.ini").contains("lot9.tsd"));
  for (QAction* a : frame->TopMenu(kMainMenu, 0)->actions()) {
    if (a->text().startsWith("&3 ")) a->trigger();  // lot7
  }
  ASSERT_FALSE(OpenPathList.empty());
  EXPECT_EQ(OpenPathList.back(), lots[7]);
  EXPECT_EQ(frame->memory()->recentFiles().front(), lots[7]);
  ASSERT_TRUE(WaitLoaded(OpenViewList.back()));
}

TEST_F(Persist, WindowAndZoomComeBackAndTheOtherFilesKeepTheirBytes) {
  const std::string lot = WriteTsd(dir, "a.tsd", SmallLot(2, 3).Bytes());
  struct Case {
    QSize size;
    bool maximized;
    int zoom;
  } cases[] = {{{900, 600}, false, 30}, {{700, 500}, true, 8}};
  for (const Case& c : cases) {
    {
      QFile ini(QString::fromStdString(config + "/Lotvue.ini"));
      ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
      ini.write("[Convert]\nXLSX=true\n");
    }
    MakeFrame();
    frame->resize(c.size);
    if (c.maximized) frame->showMaximized();
    CLotvueView* view = Open(lot);
    ASSERT_TRUE(WaitLoaded(view));
    view->SetFontHeight(c.zoom);
    DeleteFrame();
    EXPECT_EQ(ReadAll(config + "/LotVuer.spec").toStdString(), SettingsFileText(AppSettingsData{}));
    EXPECT_TRUE(QSettings(QString::fromStdString(config + "/Lotvue.ini"), QSettings::IniFormat).value("Convert/XLSX").toBool());

    MakeFrame();
    frame->hide();
    ASSERT_TRUE(frame->memory()->RestoreWindow());
    frame->show();
    EXPECT_EQ(frame->isMaximized(), c.maximized);
    if (!c.maximized) {
      EXPECT_EQ(frame->size(), c.size);
    }
    view = Open(lot);
    ASSERT_TRUE(WaitLoaded(view));
    EXPECT_EQ(view->Lot.fontHeight, c.zoom);
    EXPECT_EQ(view->grid().rowHeight, ReportRowHeight(ReportFont(c.zoom)));
    DeleteFrame();
  }
}

TEST_F(Persist, UnwritableConfigFolderIsPassedOver) {
  const std::string lot = WriteTsd(dir, "a.tsd", SmallLot(2, 3).Bytes());
  const std::string blocked = dir + "/a.tsd/Config";  // under a file: can never be made
  setenv("LOTVUE_CONFIG_DIR", blocked.c_str(), 1);
  MakeFrame();
  EXPECT_FALSE(frame->memory()->RestoreWindow());
  CLotvueView* view = Open(lot);
  ASSERT_TRUE(WaitLoaded(view));
  EXPECT_EQ(RecentEntries(frame->TopMenu(kReportMenu, 0)), QStringList{"&1 " + QString::fromStdString(lot)});
  DeleteFrame();
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(std::filesystem::exists(blocked));
}

// The dialog within the available geometry of a screen, and its charts taking the room when it grows.
TEST(DeviceQcFit, FitsTheScreenAndTheChartsFollowItsSize) {
  RecordingPrompts prompts;
  CDeviceQcDlg dlg(MakeQcLot({"FVTH", "IR"}, {{" 1.000mV", " 2.000uA"}, {" 2.000mV", " 3.000uA"}}), prompts);
  const QRect screens[] = {{0, 0, 1600, 1000}, {0, 0, 800, 500}, {0, 0, 720, 450}};
  for (const QRect& available : screens) {
    dlg.FitInto(available);
    dlg.show();
    QApplication::processEvents();
    EXPECT_LE(dlg.width(), available.width());
    EXPECT_LE(dlg.height() + 40, available.height());
    for (QWidget* w : dlg.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      EXPECT_TRUE(!w->isVisible() || dlg.rect().contains(w->geometry())) << w->objectName().toStdString();
    }
    const QRect scatter = dlg.scatterArea(), histogram = dlg.histogramArea();
    EXPECT_GT(scatter.width(), dlg.width() / 2);
    EXPECT_LE(scatter.bottom(), histogram.top());
    const QPoint xEdit = dlg.Control(CDeviceQcDlg::IDC_X_NUMBER)->pos();
    dlg.resize(dlg.size() + QSize(300, 200));
    QApplication::processEvents();
    EXPECT_EQ(dlg.scatterArea().width(), scatter.width() + 300);
    EXPECT_EQ(dlg.scatterArea().height() + dlg.histogramArea().height(), scatter.height() + histogram.height() + 200);
    EXPECT_GT(dlg.histogramArea().height(), histogram.height() + 50);
    EXPECT_EQ(dlg.Control(CDeviceQcDlg::IDC_X_NUMBER)->pos(), xEdit);
    dlg.hide();
  }
}

}  // namespace
}  // namespace lotvue::testing
