// CLanguageDlg: the Language dialog. OK rewrites the language file and
// switches the interface texts at once.
#pragma once

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace lotvue {

class CLanguageDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CLanguageDlg(QWidget* parent = nullptr);

  // 0 English, 1 Simplified Chinese, 2 Traditional Chinese; another
  // number checks no radio.
  int m_nLanguage = 0;

  int exec() override;
  void accept() override;
  QRadioButton* radio(int language) const;

 private:
  QGroupBox* group_;
  QRadioButton* radios_[3];  // 1280, 1281, 1002
  QButtonGroup* buttons_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace lotvue
