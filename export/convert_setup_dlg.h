// CConvertSetupDlg: the device range of a conversion ("File Conver Setup").
// Begin and End are positions of devices in the lot (1 = first record),
// accepted when 1 <= Begin <= End <= number of devices.
#pragma once

#include <QDialog>
#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lotvue {

class UserPrompts;

class CConvertSetupDlg : public QDialog {
  Q_OBJECT

 public:
  enum ControlId : int {
    IDC_BEGIN = 1006,
    IDC_END = 1007,
    IDC_FILE_NAME = 1008,
    IDC_WARNING = 1009,
    IDC_FILE_NAME_LABEL = 1013,
    IDC_SERIAL_GROUP = 1014,
    IDC_BEGIN_LABEL = 1015,
    IDC_END_LABEL = 1016,
  };

  // prompts: where a refused entry is said.
  explicit CConvertSetupDlg(UserPrompts& prompts, QWidget* parent = nullptr);

  int m_nBegin = 0;
  int m_nEnd = 0;
  QString m_strFileName;  // set by the caller without extension; ".XLS" is added when shown
  int m_nDeviceCount = 0;

  int exec() override;
  void accept() override;

  QLineEdit* beginEdit() const { return begin_; }
  QLineEdit* endEdit() const { return end_; }
  QLabel* fileNameLabel() const { return fileName_; }
  QLabel* warningLabel() const { return warning_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }

 private:
  void OnInitDialog();
  // Reads one edit as a whole number; the framework's prompt when it is none.
  bool ReadInt(QLineEdit* edit, int& value);
  void Refuse(QLineEdit* edit, const QString& text);

  UserPrompts& prompts_;
  QGroupBox* group_;
  QLabel* beginLabel_;
  QLineEdit* begin_;
  QLabel* endLabel_;
  QLineEdit* end_;
  QLabel* warning_;
  QLabel* fileNameLabel_;
  QLabel* fileName_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace lotvue
