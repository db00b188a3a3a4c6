#include "analysis/item_stats_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "analysis/custom_plot.h"
#include "analysis/item_stats_charts.h"
#include "analysis/item_stats_model.h"
#include "core/item_charts.h"
#include "core/item_stats_text.h"
#include "core/language.h"
#include "core/number_text.h"
#include "core/stats_texts.h"
#include "view/report_view.h"
#include "view/user_prompts.h"

namespace lotvue {

namespace {

QString Tr(StatsText text) { return QString::fromUtf8(StatsTextOf(text)); }
QString FileName(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace

std::function<QString(QWidget*, const QString&, const QString&)> CItemStatsWindow::AskSavePath =
    [](QWidget* parent, const QString& suggested, const QString& filter) {
      return QFileDialog::getSaveFileName(parent, QString(), suggested, filter);
    };

CItemStatsWindow::CItemStatsWindow(const LotData& lot, UserPrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), prompts_(prompts), charts_(std::make_unique<ItemStatsCharts>()) {
  auto copy = std::make_shared<LotData>();
  copy->CopyFrom(lot);
  copy->loadState = kRead;
  lot_ = std::move(copy);

  onlyPass_ = new QCheckBox;
  onlyPass_->setChecked(LoadedOnlyPass(*lot_));
  saveCsv_ = new QPushButton;
  status_ = new QLabel;
  model_ = new ItemStatsModel(*lot_, this);
  table_ = new QTableView;
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  table_->setSortingEnabled(true);
  table_->installEventFilter(this);

  binCountLabel_ = new QLabel;
  binCount_ = new QSpinBox;
  binCount_->setRange(1, kMaxHistogramBins);
  auto* histogramPage = new QWidget;
  auto* histogramLayout = new QVBoxLayout(histogramPage);
  auto* binRow = new QHBoxLayout;
  binRow->addWidget(binCountLabel_);
  binRow->addWidget(binCount_);
  binRow->addStretch(1);
  histogramLayout->addLayout(binRow);
  histogramLayout->addWidget(charts_->histogram(), 1);
  binTable_ = new QTableWidget(0, 5);
  binTable_->setObjectName(QStringLiteral("binTable"));
  binTable_->verticalHeader()->hide();
  binTable_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  binTable_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  binTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  binTable_->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
  auto* binsPage = new QSplitter(Qt::Horizontal);
  binsPage->addWidget(binTable_);
  binsPage->addWidget(charts_->bins());
  binsPage->setStretchFactor(1, 1);
  binsPage->setSizes({360, 600});
  tabs_ = new QTabWidget;
  tabs_->addTab(histogramPage, QString());
  tabs_->addTab(charts_->trend(), QString());
  tabs_->addTab(binsPage, QString());
  savePng_ = new QPushButton;
  savePdf_ = new QPushButton;
  auto* corner = new QWidget;
  auto* cornerLayout = new QHBoxLayout(corner);
  cornerLayout->setContentsMargins(0, 0, 0, 0);
  cornerLayout->addWidget(savePng_);
  cornerLayout->addWidget(savePdf_);
  tabs_->setCornerWidget(corner);

  auto* top = new QHBoxLayout;
  top->addWidget(onlyPass_);
  top->addWidget(saveCsv_);
  top->addWidget(status_, 1);
  auto* split = new QSplitter(Qt::Vertical);
  split->addWidget(table_);
  split->addWidget(tabs_);
  split->setStretchFactor(1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(split, 1);
  resize(1000, 720);
  split->setSizes({240, 480});

  connect(onlyPass_, &QCheckBox::toggled, this, &CItemStatsWindow::OnOnlyPassToggled);
  connect(saveCsv_, &QPushButton::clicked, this, &CItemStatsWindow::SaveCsv);
  connect(binCount_, &QSpinBox::valueChanged, charts_.get(), &ItemStatsCharts::DrawHistogram);
  connect(savePng_, &QPushButton::clicked, this, [this] { SaveCurrentChart(".png"); });
  connect(savePdf_, &QPushButton::clicked, this, [this] { SaveCurrentChart(".pdf"); });
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &CItemStatsWindow::OnCurrentRowChanged);

  ApplyTexts();
  ShowBins();
  if (model_->rowCount({}) > 0) ShowItem(model_->ItemAt(0));
  table_->resizeColumnsToContents();
  // The table's thread starts once the first item is on the screen.
  saveCsv_->setEnabled(false);
  QTimer::singleShot(0, this, &CItemStatsWindow::StartTable);
}

CItemStatsWindow::~CItemStatsWindow() { StopTable(); }

void CItemStatsWindow::ApplyTexts() {
  setWindowTitle(Tr(kStWindowTitle) + QStringLiteral(" - ") + FileName(lot_->path));
  onlyPass_->setText(Tr(kStOnlyPass));
  saveCsv_->setText(Tr(kStSaveCsv));
  if (!tableReady_) status_->setText(Tr(kStComputing));
  binCountLabel_->setText(Tr(kStBinCount));
  tabs_->setTabText(0, Tr(kStHistogram));
  tabs_->setTabText(1, Tr(kStTrend));
  tabs_->setTabText(2, Tr(kStBins));
  savePng_->setText(Tr(kStSavePng));
  savePdf_->setText(Tr(kStSavePdf));
  model_->RetranslateHeader();
  binTable_->setHorizontalHeaderLabels({Tr(kStBin), Tr(kStCount), Tr(kStPassed), Tr(kStFailed), Tr(kStPercent)});
  charts_->ApplyTexts();
}

DeviceSelection CItemStatsWindow::Selection() const {
  return onlyPass_->isChecked() ? DeviceSelection::kOnlyPass : DeviceSelection::kAll;
}

void CItemStatsWindow::StartTable() {
  StopTable();
  tableReady_ = false;
  saveCsv_->setEnabled(false);
  status_->setText(Tr(kStComputing));
  const unsigned generation = ++generation_;
  stop_ = std::make_shared<std::atomic<bool>>(false);
  worker_ = std::thread([this, lot = lot_, stop = stop_, selection = Selection(), generation] {
    std::vector<ItemStats> table = ComputeItemStats(*lot, selection, stop.get());
    if (stop->load()) return;
    std::vector<BinStats> bins = ComputeBinStats(*lot, selection);
    // Delivered on the user-interface thread; dropped when the window is gone.
    QMetaObject::invokeMethod(
        this,
        [this, generation, table = std::move(table), bins = std::move(bins)]() mutable {
          OnTableComputed(generation, std::move(table), std::move(bins));
        },
        Qt::QueuedConnection);
  });
}

void CItemStatsWindow::StopTable() {
  if (!worker_.joinable()) return;
  stop_->store(true);
  worker_.join();
}

void CItemStatsWindow::OnTableComputed(unsigned generation, std::vector<ItemStats> table, std::vector<BinStats> bins) {
  if (generation != generation_) return;
  if (worker_.joinable()) worker_.join();
  stats_ = std::move(table);
  bins_ = std::move(bins);
  model_->SetTable(stats_);
  table_->resizeColumnsToContents();
  tableReady_ = true;
  saveCsv_->setEnabled(true);
  status_->clear();
  ShowBins();
  Q_EMIT tableReady();
}

void CItemStatsWindow::OnOnlyPassToggled() {
  StopTable();
  model_->ClearComputed();
  bins_.clear();
  ShowBins();
  if (shownItem_ >= 0) LoadSeries(shownItem_);
  StartTable();
}

void CItemStatsWindow::ShowItem(int item) {
  const int row = model_->RowOf(item);
  if (row < 0) return;
  table_->setCurrentIndex(model_->index(row, 0));
  table_->selectRow(row);
  if (shownItem_ != item) LoadSeries(item);
}

void CItemStatsWindow::OnCurrentRowChanged() {
  const QModelIndex current = table_->currentIndex();
  if (!current.isValid()) return;
  const int item = model_->ItemAt(current.row());
  if (item != shownItem_) LoadSeries(item);
}

void CItemStatsWindow::LoadSeries(int item) {
  shownItem_ = item;
  std::vector<std::int32_t> devices;
  const DeviceSelection selection = Selection();
  ItemSeries series;
  const std::int64_t fails = CollectItemValues(*lot_, item, selection, series.values, &devices);
  series.positions.assign(devices.begin(), devices.end());
  for (double& p : series.positions) p += 1;
  // SummarizeItem and the bin count reorder a copy of the values.
  std::vector<double> scratch(series.values);
  series.stats = SummarizeItem(item, scratch, TakenDevices(*lot_, selection), fails, LowerLimit(*lot_, item),
                               UpperLimit(*lot_, item));
  model_->SetRow(series.stats);
  series.unit = ItemUnitText(*lot_, item);
  series.name = model_->Text(model_->RowOf(item), kColName);
  const int bins = FreedmanDiaconisBins(scratch);
  {
    const QSignalBlocker block(binCount_);
    binCount_->setValue(bins);
  }
  charts_->Show(std::move(series), bins, lot_->devices());
}

void CItemStatsWindow::ShowBins() {
  binTable_->setSortingEnabled(false);
  binTable_->setRowCount(static_cast<int>(bins_.size()));
  for (std::size_t k = 0; k < bins_.size(); ++k) {
    const BinStats& b = bins_[k];
    // Numbers, so that a click on a column sorts them as numbers.
    const double numbers[] = {static_cast<double>(b.bin), static_cast<double>(b.count), static_cast<double>(b.passed),
                              static_cast<double>(b.failed), std::round(b.percent * 100) / 100};
    for (int col = 0; col < 5; ++col) {
      auto* cell = new QTableWidgetItem;
      cell->setData(Qt::DisplayRole, numbers[col]);
      cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      binTable_->setItem(static_cast<int>(k), col, cell);
    }
  }
  binTable_->setSortingEnabled(true);
  binTable_->resizeColumnsToContents();
  charts_->DrawBins(bins_);
}

bool CItemStatsWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    CopySelectedRows();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

QString CItemStatsWindow::CopySelectedRows() {
  QModelIndexList rows = table_->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QString text;
  for (const QModelIndex& r : rows) {
    for (int col = 0; col < kItemStatsColumns; ++col) {
      if (col) text += QLatin1Char('\t');
      text += model_->Text(r.row(), col);
    }
    text += QStringLiteral("\r\n");
  }
  QApplication::clipboard()->setText(text);
  return text;
}

std::string CItemStatsWindow::csvPath() const { return ItemStatsCsvPath(lot_->path); }

bool CItemStatsWindow::SaveCsv() {
  if (!tableReady_) return false;
  const std::string path = csvPath();
  if (!WriteItemStatsCsvFile(path, *lot_, stats_)) {
    prompts_.ShowMessage(this, QString::fromUtf8(Lang(kSlotCreatCsvError)));
    return false;
  }
  status_->setText(Tr(kStSaved) + FileName(path));
  return true;
}

void CItemStatsWindow::SaveCurrentChart(const char* suffix) {
  QCustomPlot* plots[] = {charts_->histogram(), charts_->trend(), charts_->bins()};
  const char* kinds[] = {"_Histogram", "_Trend", "_Bins"};
  const int tab = std::clamp(tabs_->currentIndex(), 0, 2);
  const std::string& path = lot_->path;
  QString suggested = FileName(path.substr(0, path.size() >= 4 ? path.size() - 4 : 0));
  if (tab < 2 && shownItem_ >= 0) suggested += QLatin1Char('_') + model_->Text(model_->RowOf(shownItem_), kColName);
  suggested += QLatin1String(kinds[tab]) + QLatin1String(suffix);
  const QString filter = QLatin1String(suffix[1] == 'p' && suffix[2] == 'd' ? "PDF (*.pdf)" : "PNG (*.png)");
  const QString target = AskSavePath(this, suggested, filter);
  if (target.isEmpty()) return;
  if (!SavePlot(plots[tab], target)) prompts_.ShowMessage(this, Tr(kStCannotWrite) + target);
}

namespace {

struct OpenWindow {
  QPointer<CLotvueView> view;
  QPointer<CItemStatsWindow> window;
};

std::vector<OpenWindow>& OpenWindows() {
  static std::vector<OpenWindow> list;
  return list;
}

}  // namespace

CItemStatsWindow* ShowItemStatsWindow(CLotvueView& view, UserPrompts& prompts, QWidget* parent) {
  std::vector<OpenWindow>& list = OpenWindows();
  std::erase_if(list, [](const OpenWindow& w) { return !w.view || !w.window; });
  for (const OpenWindow& w : list) {
    if (w.view != &view) continue;
    w.window->ApplyTexts();
    if (w.window->isMinimized()) w.window->showNormal();
    w.window->show();
    w.window->raise();
    w.window->activateWindow();
    return w.window;
  }
  if (view.Lot.loadState.load() != kRead) return nullptr;
  auto* window = new CItemStatsWindow(view.Lot, prompts, parent);
  window->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(&view, &QObject::destroyed, window, &QWidget::close);
  list.push_back({&view, window});
  window->show();
  return window;
}

}  // namespace lotvue
