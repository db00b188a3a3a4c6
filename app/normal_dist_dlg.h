// CNormalDistDlg: the dialog of the "正态分布图" command, a placeholder with
// an OK and a Cancel button and nothing else.
#pragma once

#include <QDialog>

namespace lotvue {

class CNormalDistDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CNormalDistDlg(QWidget* parent = nullptr);
};

}  // namespace lotvue
