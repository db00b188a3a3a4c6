#include "app/normal_dist_dlg.h"

#include <QPushButton>

#include "view/dialog_units.h"

namespace lotvue {

CNormalDistDlg::CNormalDistDlg(QWidget* parent) : QDialog(parent) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  QFont font(QStringLiteral("宋体"));
  font.setPointSize(10);
  setFont(font);
  setWindowTitle(QStringLiteral("正态分布图"));
  setFixedSize(DialogSize(this, 337, 265));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  ok->setGeometry(DialogRect(this, 280, 7, 50, 14));
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setGeometry(DialogRect(this, 280, 24, 50, 14));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace lotvue
