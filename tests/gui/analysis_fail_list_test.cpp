// The fail list dialog: its list, its size, and the double click that writes
// the fail CSV file and offers to open it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTableView>

#include "analysis/fail_list_dlg.h"
#include "core/fail_list.h"
#include "core/language.h"
#include "tests/core/lot_files.h"
#include "tests/gui/gui_fixture.h"

namespace lotvue {
namespace {

class FailListDialog : public testing::PromptsTest {
 protected:
  // Seven devices of two items, every third failed (devices 3 and 6).
  void Load(const std::string& path) {
    testing::ReadLot(testing::SmallLot(2, 7).Bytes(), lot_, path);
    BuildFailRows(lot_);
  }
  static void DoubleClick(QTableView* list, QPoint at) { testing::SendMouse(list->viewport(), QEvent::MouseButtonDblClick, at); }

  LotData lot_;
};

TEST_F(FailListDialog, ListsTheFailedDevicesNumberedInOrder) {
  Load("/data/LOT01.tsd");
  CFailListDlg dlg(failRows, lot_.columns(), "/data/LOT01", *this);
  dlg.show();
  QApplication::processEvents();
  EXPECT_EQ(dlg.windowTitle(), "Only Fail");
  QAbstractItemModel* m = dlg.list()->model();
  ASSERT_EQ(m->columnCount(), 5);
  EXPECT_EQ(m->headerData(3, Qt::Horizontal).toString().toStdString(), std::string(failRows.At(0, 2)));
  ASSERT_EQ(m->rowCount(), 2);
  EXPECT_EQ(m->index(1, 0).data().toString() + m->index(1, 1).data().toString(), "2F6");

  // The list follows the dialog's size with an 8-pixel margin.
  dlg.resize(700, 500);
  QApplication::processEvents();
  EXPECT_EQ(dlg.list()->geometry(), QRect(8, 8, 700 - 16, 500 - 16));
}

TEST_F(FailListDialog, DoubleClickWritesTheCsvAndOffersToOpenIt) {
  const std::string folder = testing::TempFolder("fail-list");
  Load(folder + "/LOT01.tsd");
  CFailListDlg dlg(failRows, lot_.columns(), folder + "/LOT01", *this);
  dlg.show();
  QApplication::processEvents();
  const std::string csv = folder + "/LOT01_Fail.CSV";
  DoubleClick(dlg.list(), QPoint(5, dlg.list()->viewport()->height() - 5));  // below the rows
  EXPECT_EQ(testing::ReadFileBytes(csv), FailCsvText(failRows));
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].first.toStdString(), csv);
  EXPECT_EQ(questions[0].second.toStdString(), "Save success. Open this File ? File name:" + csv);
  // With a text editor when the desktop has no program. (The answer No and a
  // program that cannot be started: ConvertCommands.ConvertAndSetupWriteTheSwitchedOnTypesAndOfferEach.)
  EXPECT_EQ(opened, (std::vector<Opened>{{csv, true}}));
  EXPECT_TRUE(messages.empty());
}

TEST_F(FailListDialog, NoFailedDevicesAndUnwritableFolder) {
  const std::string folder = testing::TempFolder("fail-list-none");
  testing::ReadLot(testing::SmallLot(1, 2).Bytes(), lot_, folder + "/ALLPASS.tsd");
  BuildFailRows(lot_);
  // Without failed devices a double click still writes the title line.
  CFailListDlg dlg(failRows, lot_.columns(), folder + "/ALLPASS", *this);
  EXPECT_EQ(dlg.list()->model()->rowCount(), 0);
  DoubleClick(dlg.list(), QPoint(10, 10));
  EXPECT_EQ(testing::ReadFileBytes(folder + "/ALLPASS_Fail.CSV"), FailCsvText(failRows));
  EXPECT_EQ(questions.size(), 1u);
  // A folder that does not exist: no file, no question, no message.
  CFailListDlg lost(failRows, lot_.columns(), folder + "/missing/ALLPASS", *this);
  DoubleClick(lost.list(), QPoint(10, 10));
  EXPECT_EQ(questions.size(), 1u);
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace lotvue
