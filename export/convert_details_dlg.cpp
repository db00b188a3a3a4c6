#include "export/convert_details_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

#include "core/app_settings.h"
#include "core/language.h"
#include "view/dialog_units.h"

namespace lotvue {

namespace {

QString Text(int slot) { return QString::fromUtf8(Lang(slot)); }

const QString kXlsxKey = QStringLiteral("Convert/XLSX");

QString OptionsFile() { return QString::fromStdString(ConvertOptionsPath()); }

}  // namespace

std::string ConvertOptionsPath() { return OptionsPath(); }

bool ConvertXlsxChecked() { return QSettings(OptionsFile(), QSettings::IniFormat).value(kXlsxKey, false).toBool(); }

bool SaveConvertXlsxChecked(bool checked) {
  if (!EnsureConfigFolder()) return false;
  QSettings options(OptionsFile(), QSettings::IniFormat);
  options.setValue(kXlsxKey, checked);
  options.sync();
  return options.status() == QSettings::NoError;
}

CConvertDetailsDlg::CConvertDetailsDlg(QWidget* parent) : QDialog(parent) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  ok_ = new QPushButton(this);
  cancel_ = new QPushButton(this);
  group_ = new QGroupBox(this);
  xls_ = new QCheckBox(QStringLiteral("XLS"), this);
  csv_ = new QCheckBox(QStringLiteral("CSV"), this);
  xlsx_ = new QCheckBox(QStringLiteral("XLSX"), this);
  formats_ = new QButtonGroup(this);
  for (int i = 0; i < 3; ++i) {
    radios_[i] = new QRadioButton(this);
    formats_->addButton(radios_[i], i);
  }
  showLine_ = new QCheckBox(this);
  avgStd_ = new QCheckBox(this);
  showLine_->setVisible(false);
  avgStd_->setVisible(false);

  const std::pair<QWidget*, int> ids[] = {
      {xls_, IDC_XLS},           {csv_, IDC_CSV},           {radios_[0], IDC_DATA},
      {radios_[1], IDC_SCIENTIFIC}, {radios_[2], IDC_VALUE}, {showLine_, IDC_SHOW_LINE},
      {avgStd_, IDC_AVG_STD_ONLY_PASS}, {group_, IDC_FILE_TYPE_GROUP}, {xlsx_, IDC_XLSX}};
  for (const auto& [w, id] : ids) w->setObjectName(QString::number(id));

  ok_->setDefault(true);
  cancel_->setAutoDefault(false);
  connect(ok_, &QPushButton::clicked, this, &CConvertDetailsDlg::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(csv_, &QCheckBox::clicked, this, &CConvertDetailsDlg::OnCsvClicked);

  setFixedSize(DialogSize(this, 219, 119));
  ok_->setGeometry(DialogRect(this, 162, 60, 50, 14));
  cancel_->setGeometry(DialogRect(this, 162, 83, 50, 14));
  group_->setGeometry(DialogRect(this, 7, 7, 91, 103));
  xls_->setGeometry(DialogRect(this, 14, 21, 54, 10));
  csv_->setGeometry(DialogRect(this, 14, 36, 54, 10));
  radios_[0]->setGeometry(DialogRect(this, 32, 54, 62, 10));
  radios_[1]->setGeometry(DialogRect(this, 32, 72, 62, 10));
  radios_[2]->setGeometry(DialogRect(this, 32, 91, 62, 10));
  showLine_->setGeometry(DialogRect(this, 107, 7, 105, 11));
  avgStd_->setGeometry(DialogRect(this, 107, 23, 105, 11));
  xlsx_->setGeometry(DialogRect(this, 107, 40, 54, 10));
}

QRadioButton* CConvertDetailsDlg::formatRadio(int index) const {
  return index >= 0 && index < 3 ? radios_[index] : nullptr;
}

int CConvertDetailsDlg::exec() {
  OnInitDialog();
  return QDialog::exec();
}

void CConvertDetailsDlg::OnInitDialog() {
  setWindowTitle(Text(kSlotFileConvertDetails));
  group_->setTitle(Text(kSlotFileType));
  radios_[0]->setText(Text(kSlotData));
  radios_[1]->setText(Text(kSlotScientific));
  radios_[2]->setText(Text(kSlotValue));
  showLine_->setText(Text(kSlotDetailsShowLine));
  avgStd_->setText(Text(kSlotAvgStdevOnlyPass));
  ok_->setText(Text(kSlotOk));
  cancel_->setText(Text(kSlotCancel));

  m_bAvgStdOnlyPass = AppSettings.AvgStdOnlyPass;
  m_bShowLine = AppSettings.ShowLine;
  m_bCSV = AppSettings.ConvertFileTypeCSV;
  m_bXLS = AppSettings.ConvertFileTypeXLS;
  m_nCSVFormat = AppSettings.CSVFormat;
  m_bXLSX = ConvertXlsxChecked() ? 1 : 0;
  ShowMembers();
  OnCsvClicked();
}

void CConvertDetailsDlg::ShowMembers() {
  // A check box is checked for 1 only; a format outside 0..2 checks no radio.
  avgStd_->setChecked(m_bAvgStdOnlyPass == 1);
  showLine_->setChecked(m_bShowLine == 1);
  csv_->setChecked(m_bCSV == 1);
  xls_->setChecked(m_bXLS == 1);
  xlsx_->setChecked(m_bXLSX == 1);
  formats_->setExclusive(false);
  for (int i = 0; i < 3; ++i) radios_[i]->setChecked(i == m_nCSVFormat);
  formats_->setExclusive(true);
}

void CConvertDetailsDlg::ReadControls() {
  m_bAvgStdOnlyPass = avgStd_->isChecked() ? 1 : 0;
  m_bShowLine = showLine_->isChecked() ? 1 : 0;
  m_bCSV = csv_->isChecked() ? 1 : 0;
  m_bXLS = xls_->isChecked() ? 1 : 0;
  m_bXLSX = xlsx_->isChecked() ? 1 : 0;
  m_nCSVFormat = formats_->checkedId();
}

void CConvertDetailsDlg::OnCsvClicked() {
  ReadControls();
  for (QRadioButton* r : radios_) r->setEnabled(m_bCSV == 1);
}

void CConvertDetailsDlg::accept() {
  ReadControls();
  if (m_nCSVFormat < 0 || m_nCSVFormat > 2) m_nCSVFormat = 0;
  AppSettings.AvgStdOnlyPass = m_bAvgStdOnlyPass;
  AppSettings.ShowLine = m_bShowLine;
  AppSettings.ConvertFileTypeCSV = m_bCSV;
  AppSettings.ConvertFileTypeXLS = m_bXLS;
  AppSettings.CSVFormat = m_nCSVFormat;
  SaveConvertXlsxChecked(m_bXLSX == 1);
  QDialog::accept();
}

}  // namespace lotvue
