#include "app/language_dlg.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include "core/language.h"
#include "view/dialog_units.h"

namespace lotvue {

CLanguageDlg::CLanguageDlg(QWidget* parent) : QDialog(parent) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  group_ = new QGroupBox(this);
  buttons_ = new QButtonGroup(this);
  for (int i = 0; i < 3; ++i) {
    radios_[i] = new QRadioButton(this);
    buttons_->addButton(radios_[i], i);
  }
  ok_ = new QPushButton(this);
  cancel_ = new QPushButton(this);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  setFixedSize(DialogSize(this, 151, 103));
  group_->setGeometry(DialogRect(this, 7, 7, 137, 66));
  for (int i = 0; i < 3; ++i) radios_[i]->setGeometry(DialogRect(this, 22, 19 + 17 * i, 110, 10));
  ok_->setGeometry(DialogRect(this, 20, 82, 50, 14));
  cancel_->setGeometry(DialogRect(this, 81, 82, 50, 14));
}

QRadioButton* CLanguageDlg::radio(int language) const {
  return language >= 0 && language < 3 ? radios_[language] : nullptr;
}

int CLanguageDlg::exec() {
  setWindowTitle(QString::fromUtf8(Lang(kSlotSelectLanguageTitle)));
  radios_[0]->setText(QString::fromUtf8(Lang(kSlotEnglish)));
  radios_[1]->setText(QString::fromUtf8(Lang(kSlotChinese)));
  radios_[2]->setText(QString::fromUtf8(Lang(kSlotTaiwan)));
  ok_->setText(QString::fromUtf8(Lang(kSlotOk)));
  cancel_->setText(QString::fromUtf8(Lang(kSlotCancel)));
  if (QRadioButton* r = radio(m_nLanguage)) r->setChecked(true);
  return QDialog::exec();
}

void CLanguageDlg::accept() {
  m_nLanguage = buttons_->checkedId();  // -1 when none is checked
  SaveLanguage(m_nLanguage);
  QDialog::accept();
}

}  // namespace lotvue
