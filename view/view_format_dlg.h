// CViewFormatDlg: the View Format dialog, "Per Device" or "Matrix".
#pragma once

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace lotvue {

class CViewFormatDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CViewFormatDlg(QWidget* parent = nullptr);

  // The radio index: 0 "Per Device", 1 "Matrix"; -1 none.
  int m_nFormat = -1;

  int exec() override;
  void accept() override;

  QRadioButton* perDeviceButton() const { return perDevice_; }
  QRadioButton* matrixButton() const { return matrix_; }

 private:
  QGroupBox* group_;
  QRadioButton* perDevice_;  // 1010
  QRadioButton* matrix_;     // 1011
  QButtonGroup* buttons_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace lotvue
