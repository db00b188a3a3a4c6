#include "export/convert_setup_dlg.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include "core/language.h"
#include "view/dialog_units.h"
#include "view/user_prompts.h"

namespace lotvue {

namespace {

// The prompt of the dialog-data exchange for a number field that holds no number.
constexpr const char* kEnterIntegerPrompt = "Please enter an integer.";

}  // namespace

CConvertSetupDlg::CConvertSetupDlg(UserPrompts& prompts, QWidget* parent) : QDialog(parent), prompts_(prompts) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  // The texts are those of the dialog template in every language.
  setWindowTitle(QStringLiteral("File Conver Setup"));
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  group_ = new QGroupBox(QStringLiteral("Serial Number"), this);
  beginLabel_ = new QLabel(QStringLiteral("Begin:"), this);
  begin_ = new QLineEdit(this);
  endLabel_ = new QLabel(QStringLiteral("End:"), this);
  end_ = new QLineEdit(this);
  warning_ = new QLabel(QStringLiteral("Warning:\nIf many devices converted,\nit whill take a few minutes."), this);
  fileNameLabel_ = new QLabel(QStringLiteral("File Name:"), this);
  fileName_ = new QLabel(this);
  fileName_->setWordWrap(true);
  fileName_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  warning_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  // The warning in red on the dialog's own background.
  QPalette red = warning_->palette();
  red.setColor(QPalette::WindowText, QColor(255, 0, 0));
  warning_->setPalette(red);

  const std::pair<QWidget*, int> ids[] = {
      {begin_, IDC_BEGIN},           {end_, IDC_END},           {fileName_, IDC_FILE_NAME},
      {warning_, IDC_WARNING},       {fileNameLabel_, IDC_FILE_NAME_LABEL}, {group_, IDC_SERIAL_GROUP},
      {beginLabel_, IDC_BEGIN_LABEL}, {endLabel_, IDC_END_LABEL}};
  for (const auto& [w, id] : ids) w->setObjectName(QString::number(id));

  ok_->setDefault(true);
  ok_->setAutoDefault(true);
  cancel_->setAutoDefault(false);
  connect(ok_, &QPushButton::clicked, this, &CConvertSetupDlg::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  setFixedSize(DialogSize(this, 207, 143));
  ok_->setGeometry(DialogRect(this, 150, 7, 50, 14));
  cancel_->setGeometry(DialogRect(this, 150, 24, 50, 14));
  group_->setGeometry(DialogRect(this, 7, 7, 137, 86));
  beginLabel_->setGeometry(DialogRect(this, 15, 22, 40, 11));
  begin_->setGeometry(DialogRect(this, 60, 20, 79, 13));
  endLabel_->setGeometry(DialogRect(this, 15, 40, 40, 11));
  end_->setGeometry(DialogRect(this, 60, 38, 79, 13));
  warning_->setGeometry(DialogRect(this, 14, 56, 123, 30));
  fileNameLabel_->setGeometry(DialogRect(this, 7, 98, 66, 10));
  fileName_->setGeometry(DialogRect(this, 7, 109, 193, 27));
  // Tab order of the template: OK, Cancel, then the edits.
  setTabOrder(ok_, cancel_);
  setTabOrder(cancel_, begin_);
  setTabOrder(begin_, end_);
}

int CConvertSetupDlg::exec() {
  OnInitDialog();
  return QDialog::exec();
}

void CConvertSetupDlg::OnInitDialog() {
  m_nBegin = 1;
  m_nEnd = m_nDeviceCount;
  // The XLS name is shown whatever types are switched on.
  m_strFileName += QStringLiteral(".XLS");
  begin_->setText(QString::number(m_nBegin));
  end_->setText(QString::number(m_nEnd));
  fileName_->setText(m_strFileName);
  begin_->setFocus();
  begin_->selectAll();
}

bool CConvertSetupDlg::ReadInt(QLineEdit* edit, int& value) {
  bool ok = false;
  const int v = edit->text().trimmed().toInt(&ok, 10);
  if (!ok) {
    Refuse(edit, QString::fromLatin1(kEnterIntegerPrompt));
    return false;
  }
  value = v;
  return true;
}

void CConvertSetupDlg::Refuse(QLineEdit* edit, const QString& text) {
  prompts_.ShowMessage(this, text);
  edit->setFocus(Qt::OtherFocusReason);
  edit->selectAll();
}

void CConvertSetupDlg::accept() {
  if (!ReadInt(begin_, m_nBegin) || !ReadInt(end_, m_nEnd)) return;
  if (m_nEnd > m_nDeviceCount) {
    Refuse(end_, QString::fromUtf8(Lang(kSlotInvalid)));
    return;
  }
  if (m_nBegin > 0 && m_nBegin <= m_nEnd) {
    QDialog::accept();
    return;
  }
  Refuse(begin_, QString::fromUtf8(Lang(kSlotInvalid)));
}

}  // namespace lotvue
