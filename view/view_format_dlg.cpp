#include "view/view_format_dlg.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include "core/language.h"
#include "view/dialog_units.h"

namespace lotvue {

CViewFormatDlg::CViewFormatDlg(QWidget* parent) : QDialog(parent) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  group_ = new QGroupBox(this);
  perDevice_ = new QRadioButton(this);
  matrix_ = new QRadioButton(this);
  buttons_ = new QButtonGroup(this);
  buttons_->addButton(perDevice_, 0);
  buttons_->addButton(matrix_, 1);
  ok_ = new QPushButton(this);
  cancel_ = new QPushButton(this);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  setFixedSize(DialogSize(this, 187, 77));
  group_->setGeometry(DialogRect(this, 7, 7, 99, 62));
  perDevice_->setGeometry(DialogRect(this, 23, 28, 70, 10));
  matrix_->setGeometry(DialogRect(this, 23, 47, 70, 10));
  ok_->setGeometry(DialogRect(this, 130, 7, 50, 14));
  cancel_->setGeometry(DialogRect(this, 130, 24, 50, 14));
}

int CViewFormatDlg::exec() {
  // Texts of the current language, and the format of the window.
  setWindowTitle(QString::fromUtf8(Lang(kSlotViewFormat)));
  group_->setTitle(QString::fromUtf8(Lang(kSlotViewFormat)));
  perDevice_->setText(QString::fromUtf8(Lang(kSlotPerDevice)));
  matrix_->setText(QString::fromUtf8(Lang(kSlotMatrix)));
  ok_->setText(QString::fromUtf8(Lang(kSlotOk)));
  cancel_->setText(QString::fromUtf8(Lang(kSlotCancel)));
  if (QAbstractButton* b = buttons_->button(m_nFormat)) b->setChecked(true);
  return QDialog::exec();
}

void CViewFormatDlg::accept() {
  m_nFormat = buttons_->checkedId();
  QDialog::accept();
}

}  // namespace lotvue
