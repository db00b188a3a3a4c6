// The report window as users see it: grid after loading and after format
// changes, the painter's pixels, selection by click and keys, and the
// commands offered while a file loads and after (as the main window
// updates them on its own).
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMdiSubWindow>
#include <QRadioButton>

#include "app/child_frame.h"
#include "app/commands.h"
#include "core/app_settings.h"
#include "core/loader.h"
#include "core/report_paint.h"
#include "core/row_order.h"
#include "tests/core/lot_files.h"
#include "tests/gui/gui_fixture.h"
#include "view/view_format_dlg.h"

namespace lotvue::testing {
namespace {

Rgb3 Color(ColorRef c) { return {RedOf(c), GreenOf(c), BlueOf(c)}; }

class ReportView : public GuiTest {
 protected:
  // Opens a lot and gives its window a known size.
  CLotvueView* OpenLot(int items, int devices, const std::vector<std::vector<int>>& values = {}) {
    CLotvueView* view = OpenLoaded(WriteTsd(dir, "lot.tsd", SmallLot(items, devices, values).Bytes()));
    if (view) frame->FrameOf(view)->resize(1000, 600);
    return view;
  }
  QImage Frame(CLotvueView* view) {
    QImage image;
    view->PaintFrame(image);
    return image;
  }
  void ChooseFormat(int format) {
    WhenModal([format](QWidget* w) {
      auto* dialog = qobject_cast<CViewFormatDlg*>(w);
      ASSERT_TRUE(dialog);
      (format == 0 ? dialog->perDeviceButton() : dialog->matrixButton())->setChecked(true);
      dialog->accept();
    });
    frame->RunCommand(kCmdFormat);
  }
  static void Click(CLotvueView* view, int x, int y) { SendMouse(view->viewport(), QEvent::MouseButtonPress, {x, y}); }
};

// The grid's own arithmetic is checked without a window; here the window
// rebuilds it on each format change, at its own width, and Cancel keeps it.
TEST_F(ReportView, GridAfterLoadingAndAfterEachFormatChange) {
  CLotvueView* view = OpenLot(3, 10, {{0, 1, 2}, {99}});
  ASSERT_TRUE(view);
  EXPECT_EQ(view->grid().columnWidths, (std::vector<int>{80, 40, 120, 120, 120}));
  EXPECT_EQ(view->FormatEnabled, 1);
  EXPECT_FALSE(view->timerRunning()) << "the timer ends at the hand-over";

  const int n = std::max(1, view->viewport()->width() / 240);
  ChooseFormat(0);
  EXPECT_EQ(view->Lot.viewFormat, 0);
  EXPECT_EQ(view->grid().ColumnWidth(n - 1), 240);
  EXPECT_EQ(view->grid().ColumnWidth(n), 0);
  ChooseFormat(1);
  EXPECT_EQ(view->grid().columnWidths, (std::vector<int>{80, 60, 120, 120, 120}));

  WhenModal([](QWidget* w) {
    qobject_cast<CViewFormatDlg*>(w)->perDeviceButton()->setChecked(true);
    qobject_cast<QDialog*>(w)->reject();
  });
  frame->RunCommand(kCmdFormat);
  EXPECT_EQ(view->Lot.viewFormat, 1);
  EXPECT_EQ(view->grid().rowCount, 36);
}

// What is painted is the core's paint list (its colours, the selection and
// the clipping are read there); here one check that the painter carries it
// out: a fill, a line, text clipped at the frozen serial column. And a click
// selects the row under it.
TEST_F(ReportView, PainterDrawsFillsLinesAndClippedTextAndAClickSelects) {
  CLotvueView* view = OpenLot(30, 300);
  ASSERT_TRUE(view);
  const ReportGrid& g = view->grid();
  const int r = g.rowHeight;
  const int col3 = g.ColumnLeft(3);
  AppSettings.ShowLine = 1;
  view->ScrollToRow(100);
  QImage image = Frame(view);
  EXPECT_EQ(PixelAt(image, col3 + 10, r + 1), Color(CellFillColor(3))) << "device row on fill entry 3";
  EXPECT_EQ(PixelAt(image, col3 - 1, r + 5), Color(kLineColor)) << "vertical line";
  AppSettings.ShowLine = 0;

  // Sideways: no serial pixel spills over the bin cell's left part; the serial column shows text.
  view->ScrollToX(300);
  image = Frame(view);
  const int w0 = g.ColumnWidth(0);
  int dark = 0, spill = 0;
  for (int y = r; y < 6 * r; ++y) {
    for (int x = 0; x < w0; ++x) dark += qGray(image.pixel(x, y)) < 128;
    for (int x = w0; x < w0 + 4; ++x) spill += qGray(image.pixel(x, y)) < 128;
  }
  EXPECT_GT(dark, 20);
  EXPECT_EQ(spill, 0);
  Click(view, 30, 3 * r + 5);
  EXPECT_EQ(g.selectionMark, 103);
}

TEST_F(ReportView, StatusScreenWhileLoadingAndFailureScreens) {
  const std::string path = WriteTsd(dir, "many.tsd", SmallLot(257, 1).Bytes());
  CLotvueView* rejected = Open(path);
  ASSERT_TRUE(WaitLoaded(rejected));
  EXPECT_FALSE(rejected->timerRunning()) << "no endless polling";
  // (Its message and failure: FolderConversion.ConvertsEveryResultFileAndSurvivesTheBadOnes.)
  // The window says why it stays empty, in the report font at (10, 10).
  const QImage image = Frame(rejected);
  bool ink = false;
  for (int x = 10; x < 150 && !ink; ++x) ink = PixelAt(image, x, 20) == Rgb3{0, 0, 0};
  EXPECT_TRUE(ink);
}

TEST_F(ReportView, CommandsWhileLoadingAndAfter) {
  const int offWhileLoading[] = {kCmdClose, kCmdOpen, kCmdConvertAllFiles, kCmdConvert, kCmdConvertSetup,
                                 kCmdConvertScientific, kCmdConvertData, kCmdOnlyPass, kCmdDeviceQc,
                                 kCmdOnlyShowFail, kCmdFormat};
  const int alwaysOn[] = {kCmdShowLine, kCmdConvertDetail, kCmdLanguage, kCmdToolBar, kCmdStatusBar, kCmdCascade,
                          kCmdTile, kCmdArrangeIcons, kCmdAbout, kCmdExit, kCmdNormalDistribution};
  // Without a report window the report's toolbar buttons are grey.
  for (int id : {kCmdConvertScientific, kCmdConvertData, kCmdConvert, kCmdConvertSetup, kCmdDeviceQc, kCmdFormat,
                 kCmdOnlyShowFail}) {
    EXPECT_FALSE(frame->action(id)->isEnabled()) << id;
  }
  EXPECT_TRUE(frame->action(kCmdOpen)->isEnabled());

  CLotvueView* view = Open(WriteTsd(dir, "a.tsd", SmallLot(5, 50).Bytes()));
  for (int id : offWhileLoading) EXPECT_FALSE(frame->action(id)->isEnabled()) << "while loading: " << id;
  for (int id : alwaysOn) EXPECT_TRUE(frame->action(id)->isEnabled()) << "while loading: " << id;
  ASSERT_TRUE(WaitLoaded(view));
  for (int id : offWhileLoading) EXPECT_TRUE(frame->action(id)->isEnabled()) << "after: " << id;
  for (int id : alwaysOn) EXPECT_TRUE(frame->action(id)->isEnabled()) << "after: " << id;
  frame->RunCommand(kCmdClose);
  Settle();
  EXPECT_FALSE(frame->action(kCmdConvert)->isEnabled()) << "no report window left";
}

TEST_F(ReportView, FormatNotOfferedAbove2000Strings) {
  CLotvueView* view = OpenLot(12, 153);  // 154 x 14 = 2156 strings
  ASSERT_TRUE(view);
  EXPECT_EQ(view->FormatEnabled, 0);
  EXPECT_FALSE(frame->action(kCmdFormat)->isEnabled());
  frame->RunCommand(kCmdFormat);  // F5 does nothing either
  EXPECT_EQ(view->Lot.viewFormat, 1);
}

TEST_F(ReportView, KeysMoveTheSelectedRowAndKeepItInView) {
  CLotvueView* view = OpenLot(3, 200);
  ASSERT_TRUE(view);
  const int title = view->TitleRow();
  const int last = view->grid().rowCount - 1;
  const int page = view->grid().FullRowsIn(view->viewport()->height()) - 1;
  struct Step {
    int key;
    Qt::KeyboardModifiers mods;
    int mark, anchor;
  } steps[] = {
      {Qt::Key_Home, Qt::NoModifier, title + 1, -1},
      {Qt::Key_Down, Qt::NoModifier, title + 2, -1},
      {Qt::Key_PageDown, Qt::NoModifier, title + 2 + page, -1},
      {Qt::Key_Down, Qt::ShiftModifier, title + 3 + page, title + 2 + page},
      {Qt::Key_Up, Qt::ShiftModifier, title + 2 + page, title + 2 + page},
      {Qt::Key_End, Qt::NoModifier, last, -1},
      {Qt::Key_PageUp, Qt::NoModifier, last - page, -1},
      {Qt::Key_Home, Qt::ControlModifier, 0, -1},
      {Qt::Key_End, Qt::ControlModifier, last, -1},
      {Qt::Key_Up, Qt::NoModifier, last - 1, -1},
  };
  for (const Step& s : steps) {
    SendKey(view, s.key, s.mods);
    const ReportGrid& g = view->grid();
    EXPECT_EQ(g.selectionMark, s.mark) << s.key;
    EXPECT_EQ(g.selectionAnchor, s.anchor) << s.key;
    // In view: inside the window and not under the title stuck on top.
    EXPECT_GE(g.selectionMark, g.firstRow > title ? g.firstRow + 1 : g.firstRow) << s.key;
    EXPECT_LT(g.selectionMark, g.firstRow + g.FullRowsIn(view->viewport()->height())) << s.key;
  }
}

TEST_F(ReportView, SortCopyAndZoom) {
  CLotvueView* view = OpenLot(3, 200);
  ASSERT_TRUE(view);
  const int title = view->TitleRow();
  const int r = view->grid().rowHeight;
  // A click on the title cell of the serial column sorts; a second reverses.
  view->ScrollToRow(title);
  Click(view, 10, r / 2);
  Click(view, 10, r / 2);
  EXPECT_EQ(view->rows().DeviceAt(0), 199);
  EXPECT_EQ(view->StatusText(), "200 of 200 devices shown, sorted by Serial (descending)");
  // (Filters, find and go-to: the ReportBars tests.)

  // Ctrl+A and Ctrl+C: every shown device in the shown order, tab-separated, CR LF, on the clipboard.
  SendKey(view, Qt::Key_A, Qt::ControlModifier);
  SendKey(view, Qt::Key_C, Qt::ControlModifier);
  const QString copied = QApplication::clipboard()->text();
  EXPECT_EQ(copied.count(QStringLiteral("\r\n")), 200);
  EXPECT_TRUE(copied.startsWith(QString::fromStdString(std::string(view->Lot.deviceCells.At(view->rows().DeviceAt(0) + 1, 0)) + "\t")));

  // Zoom: Ctrl++ twice, Ctrl+- once, the limits, Ctrl+0; rows and columns follow.
  struct Zoom { int key; int times; int height; } zooms[] = {
      {Qt::Key_Plus, 2, 24}, {Qt::Key_Minus, 1, 22}, {Qt::Key_Plus, 30, 48}, {Qt::Key_Minus, 30, 8}, {Qt::Key_0, 1, 20}};
  for (const Zoom& z : zooms) {
    for (int i = 0; i < z.times; ++i) SendKey(view, z.key, Qt::ControlModifier);
    EXPECT_EQ(view->Lot.fontHeight, z.height);
    EXPECT_EQ(view->grid().ColumnWidth(2), 6 * z.height);
    EXPECT_EQ(view->grid().rowHeight, ReportRowHeight(ReportFont(z.height)));
  }
}

}  // namespace
}  // namespace lotvue::testing
