// The find, go-to and filter bars of a report window, reached by their
// shortcuts as a key press reaches them, and the conversion of a sorted and
// filtered window (the whole lot, in file order).
#include <QComboBox>
#include <QLineEdit>
#include <QStatusBar>

#include "app/child_frame.h"
#include "core/language.h"
#include "tests/core/lot_files.h"
#include "tests/gui/export_fixture.h"
#include "view/report_bars.h"

namespace lotvue::testing {
namespace {

class ReportBars : public ExportTest {
 protected:
  // SmallLot(3, 200): serials P1, P2, F3, ... (every third failed, bin 3), bins 1, 2, 3 in turn.
  void SetUp() override {
    ExportTest::SetUp();
    view = OpenLoaded(WriteTsd(dir, "LOT.tsd", SmallLot(3, 200).Bytes()));
    ASSERT_TRUE(view);
    child = frame->FrameOf(view);
    frame->activateWindow();
    view->setFocus();
  }
  void Shortcut(int key, Qt::KeyboardModifiers mods = Qt::ControlModifier) { EXPECT_TRUE(PressShortcut(view, key, mods)); }
  // Types text into a bar and presses a key there.
  static void Type(CReportBar* bar, const char* text, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    if (text) bar->edit()->setText(QString::fromLatin1(text));
    SendKey(bar->edit(), key, mods);
  }
  // The serial of the selected row; "" without one.
  std::string Selected() const {
    const int position = view->grid().selectionMark - view->TitleRow() - 1;
    return position < 0 ? "" : std::string(view->Lot.deviceCells.At(view->rows().DeviceAt(position) + 1, 0));
  }
  // The first four serials shown below the title row (the paint list draws
  // the rows in this order: ReportPaint.SortedFilteredAndFrozenColumns).
  std::string ShownSerials() const {
    std::string serials;
    for (int i = 0; i < std::min(4, view->rows().shown()); ++i)
      serials.append(view->Lot.deviceCells.At(view->rows().DeviceAt(i) + 1, 0)).append(" ");
    return serials;
  }
  CLotvueView* view = nullptr;
  CChildFrame* child = nullptr;
};

TEST_F(ReportBars, FindMovesTheSelectionForwardAndBackAndSaysNotFound) {
  Shortcut(Qt::Key_F);
  ASSERT_FALSE(child->findBar()->isHidden());
  EXPECT_TRUE(child->findBar()->edit()->hasFocus());
  struct Step { const char* text; Qt::KeyboardModifiers mods; const char* selected; const char* message; } steps[] = {
      {"p10", Qt::NoModifier, "P10", ""},       {nullptr, Qt::NoModifier, "P100", ""},
      {nullptr, Qt::ShiftModifier, "P10", ""},  {nullptr, Qt::ShiftModifier, "P109", ""},  // wraps round
      {"F12", Qt::NoModifier, "F120", ""},      {"150", Qt::NoModifier, "F150", ""},  // a serial as a number
      {"XYZ", Qt::NoModifier, "F150", "Not found"},
  };
  for (const Step& s : steps) {
    Type(child->findBar(), s.text, Qt::Key_Return, s.mods);
    EXPECT_EQ(Selected(), s.selected) << (s.text ? s.text : "again");
    EXPECT_EQ(child->findBar()->message().toStdString(), s.message);
  }
  Type(child->findBar(), nullptr, Qt::Key_Escape);
  EXPECT_TRUE(child->findBar()->isHidden());
  EXPECT_EQ(Selected(), "F150");
  // The menu entries follow the language.
  SelectLanguageTable(2);
  frame->UpdateCommands();
  EXPECT_EQ(frame->action(kCmdGoToDevice)->text().toStdString(), "移至器件(&G)...");
}

TEST_F(ReportBars, GoToByPositionOrSerialWithAMessageWhenThereIsNone) {
  struct Case { bool failedOnly; int by; const char* text; const char* selected; const char* message; } cases[] = {
      {false, 0, "150", "F150", ""},  {false, 1, "F3", "F3", ""},     {false, 0, "1", "P1", ""},
      {false, 0, "201", "P1", "No device at position 201"},         {false, 1, "500", "P1", "No device with serial number 500"},
      {false, 0, "abc", "P1", "Type a number"},                      {true, 1, "6", "F6", ""},
      {true, 0, "2", "", "The filter hides device P2"},
  };
  for (const Case& c : cases) {
    if (c.failedOnly) view->SetFilter({RowFilterKind::kFailed, 0, ""});
    Shortcut(Qt::Key_G);
    ASSERT_FALSE(child->goToBar()->isHidden());
    child->goToBar()->byBox()->setCurrentIndex(c.by);
    Type(child->goToBar(), c.text, Qt::Key_Return);
    EXPECT_EQ(Selected(), c.selected) << c.text;
    EXPECT_EQ(child->goToBar()->message().toStdString(), c.message) << c.text;
    EXPECT_EQ(child->goToBar()->isHidden(), !*c.message) << "the bar closes once it has moved the selection";
  }
}

TEST_F(ReportBars, FilterChoicesGiveTheRowsShownAndTheStatusLine) {
  Shortcut(Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
  CFilterBar* bar = child->filterBar();
  ASSERT_FALSE(bar->isHidden());
  ASSERT_EQ(bar->columnBox()->count(), 5);
  EXPECT_EQ(bar->columnBox()->itemText(2).toStdString(), view->Lot.deviceCells.At(0, 2));
  struct Case { int kind, column; const char* text; bool sortBySerial; const char* shown, *status; } cases[] = {
      {1, 0, "", false, "F3 F6 F9 F12 ", "66 of 200 devices shown"},
      {2, 0, "", false, "P1 P2 P4 P5 ", "134 of 200 devices shown"},
      {3, 0, "2", false, "P2 P5 P8 P11 ", "67 of 200 devices shown"},
      {3, 0, "x", false, "P2 P5 P8 P11 ", "67 of 200 devices shown"},  // not a number: "Type a number", unchanged
      {4, 0, "p1", false, "P1 P10 P11 P13 ", "75 of 200 devices shown"},
      {4, 0, "p1", true, "P199 P197 P196 P194 ", "75 of 200 devices shown, sorted by Serial (descending)"},
      {1, 0, "", false, "F198 F195 F192 F189 ", "66 of 200 devices shown, sorted by Serial (descending)"},
      {0, 0, "", false, "P200 P199 F198 P197 ", "200 of 200 devices shown, sorted by Serial (descending)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    if (c.sortBySerial) {
      view->SortByColumn(0);
      view->SortByColumn(0);
    }
    bar->kindBox()->setCurrentIndex(c.kind);
    Q_EMIT bar->kindBox()->activated(c.kind);
    bar->columnBox()->setCurrentIndex(c.column);
    if (*c.text) Type(bar, c.text, Qt::Key_Return);
    EXPECT_EQ(bar->message().toStdString(), *c.text == 'x' ? "Type a number" : "");
    EXPECT_EQ(view->grid().rowCount, view->TitleRow() + 1 + view->rows().shown());
    EXPECT_EQ(ShownSerials(), c.shown);
    EXPECT_EQ(frame->statusBar()->currentMessage().toStdString(), c.status);
  }
  // Closing the bar shows every device again; the sort stays.
  bar->kindBox()->setCurrentIndex(1);
  Q_EMIT bar->kindBox()->activated(1);
  Shortcut(Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(bar->isHidden());
  EXPECT_EQ(view->StatusText(), "200 of 200 devices shown, sorted by Serial (descending)");
  // A menu's fly-by text gives the line back when it goes.
  frame->statusBar()->showMessage(QStringLiteral("fly-by"));
  frame->statusBar()->clearMessage();
  EXPECT_EQ(frame->statusBar()->currentMessage().toStdString(), view->StatusText());
}

TEST_F(ReportBars, ASortedFilteredWindowConvertsTheWholeLotInFileOrder) {
  AppSettings.ConvertFileTypeXLS = 0;
  AppSettings.ConvertFileTypeCSV = 1;
  answer = false;
  frame->RunCommand(kCmdConvert);
  const std::vector<std::string> whole = CsvLines(dir + "/LOT.CSV");
  ASSERT_GT(whole.size(), 200u);
  view->SortByColumn(3);
  view->SetFilter({RowFilterKind::kFailed, 0, ""});
  frame->RunCommand(kCmdConvert);
  EXPECT_EQ(CsvLines(dir + "/LOT.CSV"), whole);
}

}  // namespace
}  // namespace lotvue::testing
