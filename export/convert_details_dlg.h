// CConvertDetailsDlg: which files a conversion writes ("File Convert
// Details"): XLS, CSV, and the CSV number format (Data, Scientific, Value),
// offered only with CSV; and XLSX, which makes Convert write A.xlsx too.
// Two hidden check boxes carry Show Line and Avg Stdev Only Pass through
// unchanged.
#pragma once

#include <string>

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace lotvue {

// The XLSX box is kept apart from the settings file, whose five lines stay
// as they are: key Convert/XLSX (default false) of Lotvue.ini in the Config
// folder.
std::string ConvertOptionsPath();  // OptionsPath()
bool ConvertXlsxChecked();
// False when the file cannot be written.
bool SaveConvertXlsxChecked(bool checked);

class CConvertDetailsDlg : public QDialog {
  Q_OBJECT

 public:
  enum ControlId : int {
    IDC_XLS = 1000,
    IDC_CSV = 1001,
    IDC_DATA = 1002,
    IDC_SCIENTIFIC = 1003,
    IDC_VALUE = 1004,
    IDC_SHOW_LINE = 1005,
    IDC_AVG_STD_ONLY_PASS = 1006,
    IDC_FILE_TYPE_GROUP = 1012,
    IDC_XLSX = 1013,
  };

  explicit CConvertDetailsDlg(QWidget* parent = nullptr);

  int m_bAvgStdOnlyPass = 0;
  int m_bShowLine = 0;
  int m_bCSV = 0;
  int m_bXLS = 0;
  int m_nCSVFormat = -1;  // checked radio: 0 Data, 1 Scientific, 2 Value; -1 none
  int m_bXLSX = 0;

  // Loads the members from AppSettings (XLSX from Lotvue.ini), shows them
  // and runs the dialog.
  int exec() override;
  // Reads the controls and stores the five members into AppSettings, XLSX
  // into Lotvue.ini.
  void accept() override;

  QCheckBox* xlsBox() const { return xls_; }
  QCheckBox* csvBox() const { return csv_; }
  QCheckBox* xlsxBox() const { return xlsx_; }
  QRadioButton* formatRadio(int index) const;
  QCheckBox* showLineBox() const { return showLine_; }
  QCheckBox* avgStdOnlyPassBox() const { return avgStd_; }
  QGroupBox* fileTypeGroup() const { return group_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }

 private:
  void OnInitDialog();
  void ShowMembers();
  void ReadControls();
  // The format radios are offered only while CSV is checked.
  void OnCsvClicked();

  QGroupBox* group_;
  QCheckBox* xls_;
  QCheckBox* csv_;
  QCheckBox* xlsx_;
  QRadioButton* radios_[3];
  QButtonGroup* formats_;
  QCheckBox* showLine_;
  QCheckBox* avgStd_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace lotvue
