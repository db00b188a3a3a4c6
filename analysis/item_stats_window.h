// CItemStatsWindow: the "Item Statistics" window of one report window (the
// "正态分布图" command). It works on its own copy of the lot, so it stays
// usable while other files load: the table of every ordinary item's
// statistics (ItemStatsModel: sortable; Ctrl+C copies the selected rows; a
// button writes "_Stats.CSV"), the charts of the selected item and the bin
// summary (ItemStatsCharts), a bin count for the histogram and the Only
// Pass choice, first as the lot was loaded.
//
// The table is computed by a thread of the window while the first item is
// already shown; the charts are computed on the user-interface thread from
// the selected item's values.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QWidget>

#include "core/item_stats.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;
class QTableWidget;

namespace lotvue {

class CLotvueView;
class UserPrompts;
class ItemStatsCharts;
class ItemStatsModel;

class CItemStatsWindow : public QWidget {
  Q_OBJECT

 public:
  // A window on a copy of the lot (cell texts shared, not copied), showing
  // its first ordinary item; the table follows when its thread is done.
  // prompts: the messages of failed writes.
  CItemStatsWindow(const LotData& lot, UserPrompts& prompts, QWidget* parent = nullptr);
  ~CItemStatsWindow() override;

  // Window title and every text, in the current language.
  void ApplyTexts();

  QTableView* table() const { return table_; }
  // True once the table holds every item for the current device choice.
  bool TableReady() const { return tableReady_; }
  // The item (0-based position in the lot) the charts show; -1 for none.
  int shownItem() const { return shownItem_; }
  // Selects the item's row and shows its charts.
  void ShowItem(int item);
  // Ctrl+C: the selected rows as shown, cells separated by tabs, each line
  // ended by CR LF; put on the clipboard and returned.
  QString CopySelectedRows();
  // The "Save CSV" button: writes csvPath() (a failure is reported as the
  // other CSV files' is); false when it could not be written.
  bool SaveCsv();
  std::string csvPath() const;
  // Asks where to save a chart (suggested path, file filter); an empty
  // answer cancels. Tests replace it.
  static std::function<QString(QWidget* parent, const QString& suggested, const QString& filter)> AskSavePath;

 Q_SIGNALS:
  // The table has been computed (after opening or a change of Only Pass).
  void tableReady();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  DeviceSelection Selection() const;
  void StartTable();
  void StopTable();
  void OnTableComputed(unsigned generation, std::vector<ItemStats> table, std::vector<BinStats> bins);
  void OnOnlyPassToggled();
  void OnCurrentRowChanged();
  void LoadSeries(int item);
  void ShowBins();
  void SaveCurrentChart(const char* suffix);

  std::shared_ptr<const LotData> lot_;
  UserPrompts& prompts_;
  ItemStatsModel* model_ = nullptr;
  std::unique_ptr<ItemStatsCharts> charts_;
  QTableView* table_ = nullptr;
  QCheckBox* onlyPass_ = nullptr;
  QPushButton* saveCsv_ = nullptr;
  QLabel* status_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QLabel* binCountLabel_ = nullptr;
  QSpinBox* binCount_ = nullptr;
  QPushButton* savePng_ = nullptr;
  QPushButton* savePdf_ = nullptr;
  QTableWidget* binTable_ = nullptr;

  int shownItem_ = -1;

  // The table's thread; a new generation replaces results still on their way.
  std::thread worker_;
  std::shared_ptr<std::atomic<bool>> stop_;
  unsigned generation_ = 0;
  bool tableReady_ = false;
  std::vector<ItemStats> stats_;
  std::vector<BinStats> bins_;
};

// The "正态分布图" command: opens the statistics window of the report
// window, or brings its open one to the front (one per report window; it
// closes with the report window). Does nothing while the report window has
// no lot yet.
CItemStatsWindow* ShowItemStatsWindow(CLotvueView& view, UserPrompts& prompts, QWidget* parent);

}  // namespace lotvue
