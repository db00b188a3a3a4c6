// CAboutDlg: the About box (product, version, test system, maker, license).
#pragma once

#include <QDialog>

namespace lotvue {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace lotvue
