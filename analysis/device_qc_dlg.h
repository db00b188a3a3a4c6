// CDeviceQcDlg: the Device QC dialog. The upper half plots one item
// against another for every device (Scatter), the lower half counts the
// devices per value range of one item (Histogram). It works on its own
// copy of the lot, whose cell texts it shares with the report window.
// The controls keep the places of the dialog template; the dialog fits the
// screen (in a smaller font when the template's size does not) and can be
// made larger, the groups, item lists and charts taking the room.
#pragma once

#include <map>
#include <vector>

#include <QDialog>

#include "core/device_qc.h"

class QButtonGroup;
class QLineEdit;
class QPainter;
class QPushButton;
class QTableWidget;

namespace lotvue {

class UserPrompts;

class CDeviceQcDlg : public QDialog {
  Q_OBJECT

 public:
  // Control ids of the dialog template; each control carries its id as object name.
  enum ControlId : int {
    IDC_SCATTER_GROUP = 1152,
    IDC_HIST_GROUP = 1153,
    IDC_SCATTER_LIST = 1141,
    IDC_HIST_LIST = 1143,
    IDC_X_NUMBER = 1145,
    IDC_Y_NUMBER = 1146,
    IDC_SCATTER_ALL = 1010,
    IDC_SCATTER_PASS = 1011,
    IDC_SCATTER_MANUAL = 1012,
    IDC_X_MIN = 1147,
    IDC_X_MAX = 1148,
    IDC_Y_MIN = 1009,
    IDC_Y_MAX = 1013,
    IDC_SCATTER_SHOW = 1142,
    IDC_HIST_NUMBER = 1014,
    IDC_HIST_ALL = 1015,
    IDC_HIST_PASS = 1016,
    IDC_HIST_MANUAL = 1017,
    IDC_HIST_MIN = 1018,
    IDC_HIST_MAX = 1019,
    IDC_HIST_STEP = 1020,
    IDC_HIST_SHOW = 1144,
    IDC_SCROLL_UP = 1150,
    IDC_SCROLL_DOWN = 1149,
    IDC_X_NUMBER_LABEL = 1154,
    IDC_Y_NUMBER_LABEL = 1155,
    IDC_HIST_NUMBER_LABEL = 1156,
    IDC_X_MIN_LABEL = 1157,
    IDC_Y_MIN_LABEL = 1158,
    IDC_X_MAX_LABEL = 1159,
    IDC_Y_MAX_LABEL = 1160,
    IDC_HIST_MIN_LABEL = 1161,
    IDC_HIST_MAX_LABEL = 1162,
    IDC_HIST_STEP_LABEL = 1163,
  };

  // prompts: where the dialog's refusals are said.
  CDeviceQcDlg(QcLot lot, UserPrompts& prompts, QWidget* parent = nullptr);

  // The control of an id (nullptr for an unknown id).
  QWidget* Control(int id) const;

  // Fits the dialog into a screen's available geometry: the dialog font
  // shrinks until the template's size and a window frame fit (down to 6
  // pixels); that size is the least one, and the dialog starts as large as
  // the template in the inherited font, as far as the room allows.
  void FitInto(const QRect& available);

  // Handlers, public so that the tests can drive them like the user.
  void OnScatterListClick(int row);
  void OnHistogramListClick(int row);
  void OnShowScatter();
  void OnShowHistogram();
  void OnScrollUp();
  void OnScrollDown();

  const QcLot& lot() const { return lot_; }
  const ScatterState& scatter() const { return scatter_; }
  const HistogramState& histogram() const { return hist_; }
  int numberTarget() const { return numberTarget_; }
  QRect scatterArea() const;
  QRect histogramArea() const;

  // The scene a paint of the two halves draws.
  QcScene Scene() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Chart;

  // How a control follows a larger dialog: bits of a Stretch.
  enum Stretch : int {
    kLower = 1,  // in the histogram half, which moves down as the scatter half grows
    kTall = 2,   // grows with its half
    kWide = 4,   // grows with the dialog's width
    kRight = 8,  // keeps to the right edge
    kBottom = 16,  // keeps to the bottom edge
  };
  struct Placed {
    QWidget* widget;
    QRect units;  // in dialog units at the template's size
    int stretch;
  };

  void OnInitDialog();
  // The controls at their template places, stretched to the dialog's size.
  void LayOut();
  void ComputeAreas();
  // Exchanges the fields with the controls: save = true reads the controls
  // (false, after a message, when a number edit holds no integer).
  bool UpdateData(bool save);
  bool ReadNumber(int id, int& value);
  void ShowInvalid(int editId);
  void ShowScrollButtons();
  QString LangText(int slot) const;

  QcLot lot_;
  UserPrompts& prompts_;
  ScatterState scatter_;
  HistogramState hist_;
  int numberTarget_ = 0;  // 0: the list sets X, 1: Y
  QcRect scatterArea_;
  QcRect histogramArea_;

  std::map<int, QWidget*> controls_;
  std::vector<Placed> placed_;
  QTableWidget* scatterList_ = nullptr;
  QTableWidget* histList_ = nullptr;
  QButtonGroup* scatterRange_ = nullptr;
  QButtonGroup* histRange_ = nullptr;
  QPushButton* scrollUp_ = nullptr;
  QPushButton* scrollDown_ = nullptr;
  Chart* scatterChart_ = nullptr;
  Chart* histogramChart_ = nullptr;
};

// Paints a scene: fills, frames and texts in order, then the points.
void PaintQcScene(QPainter& painter, const QcScene& scene);

}  // namespace lotvue
