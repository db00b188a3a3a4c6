// CFailListDlg: the failed devices of a lot in a resizable list ("Only
// Fail"). A double click anywhere in the list writes them to the fail CSV
// file beside the result file and offers to open it.
#pragma once

#include <functional>
#include <string>

#include <QDialog>

#include "core/cell_table.h"

class QTableView;

namespace lotvue {

class CFailListDlg : public QDialog {
  Q_OBJECT

 public:
  enum ControlId : int { IDC_FAIL_LIST = 1017 };

  // rows: the title row and one row per failed device (failRows), rowLen
  // cells each; basePath: the result file's path without its extension.
  CFailListDlg(CellTable rows, int rowLen, std::string basePath, QWidget* parent = nullptr);

  QTableView* list() const { return list_; }
  std::string csvPath() const { return basePath_ + "_Fail.CSV"; }

  // The double click: writes the CSV file, asks whether to open it, opens it.
  void WriteFailCsv();

  // The question after writing (caption, text): true for Yes. Tests replace it.
  static std::function<bool(QWidget* parent, const QString& caption, const QString& text)> AskYesNo;
  // Opens a written file for the user: false when no program could be
  // started. By default the desktop's application for the file, else the
  // first text editor found. Tests replace it.
  static std::function<bool(const std::string& path)> OpenFile;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnInitDialog();

  CellTable rows_;
  int rowLen_ = 0;
  std::string basePath_;
  QTableView* list_ = nullptr;
};

// Opens path with the desktop's default application, falling back to a
// text editor; false when nothing could be started.
bool OpenWithDesktop(const std::string& path);

}  // namespace lotvue
