// The Device QC dialog on screen: the pixels of both halves, the controls
// and the messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <QApplication>
#include <QFocusEvent>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include "analysis/device_qc_dlg.h"
#include "core/language.h"
#include "tests/core/lot_files.h"
#include "tests/gui/gui_fixture.h"

namespace lotvue {
namespace {

using testing::MakeQcLot;

QRgb Rgb(QcRgb c) { return qRgb(c.r, c.g, c.b); }

class DeviceQcDialog : public testing::PromptsTest {
 protected:
  // Shows the dialog and waits for its first paint.
  static void Open(CDeviceQcDlg& dlg) {
    dlg.show();
    QApplication::processEvents();
  }
  // Rendered into a 32-bit image: the screen's pixmaps may hold fewer bits per colour.
  static QImage Grab(CDeviceQcDlg& dlg) {
    QImage img(dlg.size(), QImage::Format_RGB32);
    img.fill(Qt::white);
    dlg.render(&img);
    return img;
  }
  template <typename T>
  static T* Ctl(CDeviceQcDlg& dlg, int id) {
    return static_cast<T*>(dlg.Control(id));
  }
  static void Focus(QWidget* w) {
    QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(w, &in);
  }
};

TEST_F(DeviceQcDialog, InitialControlsAndItemLists) {
  CDeviceQcDlg dlg(MakeQcLot({"FVTH", "IR", "VF"}, {{" 1.000mV", " 2.000uA", " 0.600 V"}}), *this);
  Open(dlg);
  auto* list = Ctl<QTableWidget>(dlg, CDeviceQcDlg::IDC_SCATTER_LIST);
  ASSERT_EQ(list->rowCount(), 3);
  EXPECT_EQ(list->item(0, 1)->text(), "VTH");  // the leading F goes
  EXPECT_EQ(list->item(2, 0)->text(), "3");
  EXPECT_EQ(Ctl<QTableWidget>(dlg, CDeviceQcDlg::IDC_HIST_LIST)->rowCount(), 3);
  EXPECT_EQ(Ctl<QLineEdit>(dlg, CDeviceQcDlg::IDC_X_NUMBER)->text(), "1");
  EXPECT_TRUE(Ctl<QRadioButton>(dlg, CDeviceQcDlg::IDC_SCATTER_ALL)->isChecked());
  EXPECT_FALSE(Ctl<QWidget>(dlg, CDeviceQcDlg::IDC_SCROLL_UP)->isVisible() || Ctl<QWidget>(dlg, CDeviceQcDlg::IDC_SCROLL_DOWN)->isVisible());

  // Manual edits are enabled only while Manual is chosen, in each half.
  for (int id : {CDeviceQcDlg::IDC_X_MIN, CDeviceQcDlg::IDC_Y_MAX, CDeviceQcDlg::IDC_HIST_STEP})
    EXPECT_FALSE(Ctl<QWidget>(dlg, id)->isEnabled());
  Ctl<QRadioButton>(dlg, CDeviceQcDlg::IDC_SCATTER_MANUAL)->click();
  EXPECT_TRUE(Ctl<QWidget>(dlg, CDeviceQcDlg::IDC_X_MIN)->isEnabled());
  EXPECT_TRUE(Ctl<QWidget>(dlg, CDeviceQcDlg::IDC_Y_MAX)->isEnabled());
  EXPECT_FALSE(Ctl<QWidget>(dlg, CDeviceQcDlg::IDC_HIST_STEP)->isEnabled());
  Ctl<QRadioButton>(dlg, CDeviceQcDlg::IDC_SCATTER_PASS)->click();
  EXPECT_FALSE(Ctl<QWidget>(dlg, CDeviceQcDlg::IDC_X_MIN)->isEnabled());
}

TEST_F(DeviceQcDialog, ListClickSetsTheNumberOfTheFocusedEdit) {
  CDeviceQcDlg dlg(MakeQcLot({"A", "B", "C"}, {{" 1.000mV", " 2.000mV", " 3.000mV"}, {" 2.000mV", " 1.000mV", " 5.000mV"}}), *this);
  Open(dlg);
  auto* list = Ctl<QTableWidget>(dlg, CDeviceQcDlg::IDC_SCATTER_LIST);
  dlg.OnScatterListClick(2);
  EXPECT_EQ(dlg.scatter().xItem, 3);
  EXPECT_EQ(dlg.scatter().yItem, 1);
  Focus(Ctl<QLineEdit>(dlg, CDeviceQcDlg::IDC_Y_NUMBER));
  EXPECT_EQ(dlg.numberTarget(), 1);
  Q_EMIT list->cellClicked(1, 1);
  EXPECT_EQ(dlg.scatter().yItem, 2);
  EXPECT_EQ(dlg.scatter().xItem, 3);
  EXPECT_EQ(Ctl<QLineEdit>(dlg, CDeviceQcDlg::IDC_Y_NUMBER)->text(), "2");
  EXPECT_EQ(dlg.scatter().yLabel, "Y-2 [B]");

  // In Manual a new number empties that axis' range edits only.
  Ctl<QRadioButton>(dlg, CDeviceQcDlg::IDC_SCATTER_MANUAL)->click();
  Ctl<QLineEdit>(dlg, CDeviceQcDlg::IDC_X_MAX)->setText("9m");
  Ctl<QLineEdit>(dlg, CDeviceQcDlg::IDC_Y_MAX)->setText("9m");
  dlg.OnScatterListClick(2);  // the Y number changes from 2 to 3
  EXPECT_EQ(Ctl<QLineEdit>(dlg, CDeviceQcDlg::IDC_Y_MAX)->text(), "");
  EXPECT_EQ(Ctl<QLineEdit>(dlg, CDeviceQcDlg::IDC_X_MAX)->text(), "9m");

  // The histogram list sets the histogram's number.
  Q_EMIT Ctl<QTableWidget>(dlg, CDeviceQcDlg::IDC_HIST_LIST)->cellClicked(1, 0);
  EXPECT_EQ(dlg.histogram().item, 2);
  EXPECT_EQ(dlg.histogram().title, " 2 [B]");
}

// The maths of points, bins, labels and bars is the core's; here only that
// the dialog paints its scene: the field, a point inside, the ends on the frame.
TEST_F(DeviceQcDialog, ScatterPixels) {
  // One item against itself: 1 mV and 5 mV are the ends, on the frame; 3 mV in the middle.
  CDeviceQcDlg dlg(MakeQcLot({"VTH"}, {{" 1.000mV"}, {" 3.000mV"}, {" 5.000mV"}}), *this);
  Open(dlg);
  const QRect a = dlg.scatterArea();
  const QcRect f = ScatterField({a.x(), a.y(), a.x() + a.width(), a.y() + a.height()});
  QImage img = Grab(dlg);
  EXPECT_EQ(img.pixel(a.x() + 3, a.y() + 3), Rgb(kQcAreaColor));
  EXPECT_EQ(img.pixel(f.left + 50, f.top + 50), Rgb(kQcFieldColor));
  dlg.OnShowScatter();
  QApplication::processEvents();
  img = Grab(dlg);
  const int px = static_cast<int>(0.5 * f.width() + f.left);
  const int py = static_cast<int>(f.bottom - 0.5 * f.height());
  EXPECT_EQ(img.pixel(px - 1, py - 1), Rgb(kQcPointColor));
  EXPECT_EQ(img.pixel(px, py), Rgb(kQcPointColor));
  EXPECT_NE(img.pixel(px + 1, py), Rgb(kQcPointColor));
  EXPECT_EQ(img.pixel(f.left, f.bottom - 1), Rgb(kQcBlack)) << "the frame, and the ends are not drawn";
}

// More labels than fit: the buttons show and move the offset; a new Show
// keeps it within the new limits (23 labels allow 6 at most); All has none.
TEST_F(DeviceQcDialog, ScrollButtons) {
  CDeviceQcDlg dlg(MakeQcLot({"VTH"}, {{" 0.000mV"}, {" 27.00mV"}}), *this);
  Open(dlg);
  auto* up = Ctl<QPushButton>(dlg, CDeviceQcDlg::IDC_SCROLL_UP);
  auto* down = Ctl<QPushButton>(dlg, CDeviceQcDlg::IDC_SCROLL_DOWN);
  auto* show = Ctl<QPushButton>(dlg, CDeviceQcDlg::IDC_HIST_SHOW);
  Ctl<QRadioButton>(dlg, CDeviceQcDlg::IDC_HIST_MANUAL)->click();
  Ctl<QLineEdit>(dlg, CDeviceQcDlg::IDC_HIST_STEP)->setText("1m");
  struct Step {
    std::function<void()> act;
    int offset;
    bool visible, up, down;
    const char* firstLabel;  // the first label drawn is that of the offset
  } steps[] = {
      {[&] { show->click(); }, 0, true, false, true, "0.000mV"},  // 30 labels
      {[&] { for (int i = 0; i < 13; ++i) down->click(); }, 13, true, true, false, "13.00mV"},
      {[&] { up->click(); }, 12, true, true, true, "12.00mV"},
      {[&] { Ctl<QLineEdit>(dlg, CDeviceQcDlg::IDC_HIST_MAX)->setText("20m"); show->click(); }, 6, true, true, false, "6.000mV"},
      {[&] { Ctl<QRadioButton>(dlg, CDeviceQcDlg::IDC_HIST_ALL)->click(); show->click(); }, 0, false, false, false, "0.000mV"},
  };
  for (const Step& s : steps) {
    s.act();
    EXPECT_EQ(dlg.histogram().scrollOffset, s.offset) << s.firstLabel;
    EXPECT_EQ(up->isVisible(), s.visible) << s.firstLabel;
    EXPECT_EQ(down->isVisible(), s.visible) << s.firstLabel;
    if (s.visible) EXPECT_EQ(std::make_pair(up->isEnabled(), down->isEnabled()), std::make_pair(s.up, s.down)) << s.firstLabel;
    const QcScene scene = dlg.Scene();
    const auto first = std::find_if(scene.shapes.begin(), scene.shapes.end(),
                                    [](const QcShape& q) { return q.kind == QcShape::Text && q.align == QcAlign::Right; });
    ASSERT_NE(first, scene.shapes.end());
    EXPECT_EQ(first->text, s.firstLabel);
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(DeviceQcDialog, Messages) {
  CDeviceQcDlg dlg(MakeQcLot({"VTH", "IR"}, {{" 1.000mV", " 1.000uA"}, {" 2.000mV", " 3.000uA"}}, {true, true}), *this);
  Open(dlg);
  auto* x = Ctl<QLineEdit>(dlg, CDeviceQcDlg::IDC_X_NUMBER);
  using D = CDeviceQcDlg;
  struct Case {
    std::vector<std::pair<int, const char*>> typed;  // an edit and its text, or (null text) a radio button clicked
    bool histogram;                                  // else the scatter's Show
    const char* message;
  } cases[] = {
      {{{D::IDC_X_NUMBER, "3"}}, false, "Invalid"},
      {{{D::IDC_X_NUMBER, "abc"}}, false, "Please enter an integer."},
      {{{D::IDC_X_NUMBER, "1"}, {D::IDC_SCATTER_PASS, nullptr}}, false, "Item All Fail"},
      {{{D::IDC_SCATTER_MANUAL, nullptr}, {D::IDC_X_MIN, "5m"}, {D::IDC_X_MAX, "4m"}}, false, "Invalid Max Or Min"},
      {{{D::IDC_HIST_NUMBER, "0"}}, true, "Invalid"},
      {{{D::IDC_HIST_NUMBER, "1"}, {D::IDC_HIST_MANUAL, nullptr}, {D::IDC_HIST_STEP, "0"}}, true, "Invalid Step"},
      {{{D::IDC_HIST_STEP, ""}, {D::IDC_HIST_MIN, "3m"}, {D::IDC_HIST_MAX, "2m"}}, true, "Invalid Max Or Min"},
  };
  for (const Case& c : cases) {
    messages.clear();
    for (const auto& [id, text] : c.typed) {
      if (text) {
        Ctl<QLineEdit>(dlg, id)->setText(QString::fromLatin1(text));
      } else {
        Ctl<QRadioButton>(dlg, id)->click();
      }
    }
    c.histogram ? dlg.OnShowHistogram() : dlg.OnShowScatter();
    ASSERT_EQ(messages.size(), 1u) << c.message;
    EXPECT_EQ(messages[0], QString::fromUtf8(c.message));
  }
  // The offending number is selected for retyping.
  x->setText("7");
  dlg.OnShowScatter();
  EXPECT_EQ(x->selectedText(), "7");
}

// The dialog works on a copy of the lot that shares the cell texts, so it
// opens at once on a large lot (its speed is the paint benchmark's business).
TEST_F(DeviceQcDialog, SharesTheCellsOfALargeLot) {
  std::vector<std::vector<std::string>> rows(200000, {" 1.234mV", " 5.000uA"});
  const QcLot lot = MakeQcLot({"VTH", "IR"}, rows);
  CDeviceQcDlg dlg(lot, *this);
  Open(dlg);
  EXPECT_EQ(dlg.lot().devices(), 200000);
  EXPECT_EQ(dlg.lot().Cell(199999, 2).data(), lot.Cell(199999, 2).data());
  dlg.OnShowScatter();
  dlg.OnShowHistogram();
  Grab(dlg);
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace lotvue
