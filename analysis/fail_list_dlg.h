// CFailListDlg: the failed devices of a lot in a resizable list ("Only
// Fail"). A double click anywhere in the list writes them to the fail CSV
// file beside the result file and offers to open it.
#pragma once

#include <string>

#include <QDialog>

#include "core/cell_table.h"

class QTableView;

namespace lotvue {

class UserPrompts;

class CFailListDlg : public QDialog {
  Q_OBJECT

 public:
  enum ControlId : int { IDC_FAIL_LIST = 1017 };

  // rows: the title row and one row per failed device (failRows), rowLen
  // cells each; basePath: the result file's path without its extension;
  // prompts: the question after writing and the opening of the file.
  CFailListDlg(CellTable rows, int rowLen, std::string basePath, UserPrompts& prompts, QWidget* parent = nullptr);

  QTableView* list() const { return list_; }
  std::string csvPath() const { return basePath_ + "_Fail.CSV"; }

  // The double click: writes the CSV file, asks whether to open it, opens
  // it (with a text editor when the desktop has no application for it).
  void WriteFailCsv();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnInitDialog();

  CellTable rows_;
  int rowLen_ = 0;
  std::string basePath_;
  UserPrompts& prompts_;
  QTableView* list_ = nullptr;
};

}  // namespace lotvue
