#include "analysis/item_stats_model.h"

#include <QColor>

#include <algorithm>
#include <numeric>

#include "core/item_charts.h"
#include "core/number_text.h"
#include "core/stats_texts.h"
#include "core/text_codec.h"

namespace lotvue {

namespace {

QString Utf8(const std::string& text) { return QString::fromStdString(text); }
QString Fixed(const std::optional<double>& v, int decimals) { return v ? Utf8(FixedText(*v, decimals)) : QString(); }

// Cpk below the first bound is marked, below the second shown in red.
constexpr double kCpkMarked = 1.33;
constexpr double kCpkRed = 1.0;
const QColor kMarkedBackground(255, 235, 150);
const QColor kRedBackground(255, 200, 200);
const QColor kRedText(255, 0, 0);

constexpr StatsText kColumnTexts[kItemStatsColumns] = {kStItem, kStName,   kStUnit,  kStLsl, kStUsl,
                                                       kStN,    kStFails,  kStFailPct, kStMean, kStMedian,
                                                       kStStdev, kStMin,   kStMax,   kStCp,  kStCpk};

}  // namespace

std::string ItemUnitText(const LotData& lot, int item) {
  const std::uint8_t unit = lot.itemUnits[static_cast<std::size_t>(item)];
  return unit == 0 ? std::string() : DisplayUtf8(std::string(1, static_cast<char>(unit)));
}

ItemStatsModel::ItemStatsModel(const LotData& lot, QObject* parent) : QAbstractTableModel(parent) {
  for (int i = 0; i < lot.items(); ++i) {
    if (!HasItemStats(lot, i)) continue;
    ItemStats s;
    s.item = i;
    s.lsl = LowerLimit(lot, i);
    s.usl = UpperLimit(lot, i);
    rows_.push_back({s, false, Utf8(DisplayUtf8(lot.itemNames[static_cast<std::size_t>(i)])), ItemUnitText(lot, i)});
  }
  order_.resize(rows_.size());
  std::iota(order_.begin(), order_.end(), 0);
}

void ItemStatsModel::SetTable(const std::vector<ItemStats>& table) {
  for (std::size_t k = 0; k < rows_.size() && k < table.size(); ++k) {
    rows_[k].stats = table[k];
    rows_[k].computed = true;
  }
  Resort();
  if (!rows_.empty()) Q_EMIT dataChanged(index(0, 0), index(rowCount({}) - 1, kItemStatsColumns - 1));
}

void ItemStatsModel::SetRow(const ItemStats& s) {
  const auto it = std::find_if(rows_.begin(), rows_.end(), [&s](const Row& r) { return r.stats.item == s.item; });
  if (it == rows_.end()) return;
  it->stats = s;
  it->computed = true;
  Resort();
  const int row = RowOf(s.item);
  Q_EMIT dataChanged(index(row, 0), index(row, kItemStatsColumns - 1));
}

void ItemStatsModel::ClearComputed() {
  for (Row& r : rows_) {
    ItemStats limitsOnly;
    limitsOnly.item = r.stats.item;
    limitsOnly.lsl = r.stats.lsl;
    limitsOnly.usl = r.stats.usl;
    r.stats = limitsOnly;
    r.computed = false;
  }
  Resort();
  if (!rows_.empty()) Q_EMIT dataChanged(index(0, 0), index(rowCount({}) - 1, kItemStatsColumns - 1));
}

void ItemStatsModel::RetranslateHeader() { Q_EMIT headerDataChanged(Qt::Horizontal, 0, kItemStatsColumns - 1); }

int ItemStatsModel::ItemAt(int row) const { return rows_[order_[static_cast<std::size_t>(row)]].stats.item; }

int ItemStatsModel::RowOf(int item) const {
  for (std::size_t r = 0; r < order_.size(); ++r) {
    if (rows_[order_[r]].stats.item == item) return static_cast<int>(r);
  }
  return -1;
}

QString ItemStatsModel::Text(int row, int column) const {
  const Row& r = rows_[order_[static_cast<std::size_t>(row)]];
  const ItemStats& s = r.stats;
  auto eng = [&r](const std::optional<double>& v) { return v ? Utf8(EngineeringText(*v, r.unit)) : QString(); };
  switch (column) {
    case kColItem: return QString::number(s.item + 1);
    case kColName: return r.name;
    case kColUnit: return Utf8(r.unit);
    case kColLsl: return eng(s.lsl);
    case kColUsl: return eng(s.usl);
    case kColN: return r.computed ? QString::number(s.n) : QString();
    case kColFails: return r.computed ? QString::number(s.fails) : QString();
    case kColFailPct: return Fixed(s.failPct, 2);
    case kColMean: return eng(s.mean);
    case kColMedian: return eng(s.median);
    case kColStdev: return eng(s.stdev);
    case kColMin: return eng(s.min);
    case kColMax: return eng(s.max);
    case kColCp: return Fixed(s.cp, 3);
    case kColCpk: return Fixed(s.cpk, 3);
    default: return {};
  }
}

int ItemStatsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ItemStatsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kItemStatsColumns; }

QVariant ItemStatsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int column = index.column();
  if (role == Qt::DisplayRole) return Text(index.row(), column);
  if (role == Qt::TextAlignmentRole) {
    const bool text = column == kColName || column == kColUnit;
    return QVariant::fromValue(Qt::Alignment((text ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter));
  }
  const std::optional<double>& cpk = rows_[order_[static_cast<std::size_t>(index.row())]].stats.cpk;
  if (column != kColCpk || !cpk || *cpk >= kCpkMarked) return {};
  if (role == Qt::BackgroundRole) return *cpk < kCpkRed ? kRedBackground : kMarkedBackground;
  if (role == Qt::ForegroundRole && *cpk < kCpkRed) return kRedText;
  return {};
}

QVariant ItemStatsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kItemStatsColumns) return {};
  return QString::fromUtf8(StatsTextOf(kColumnTexts[section]));
}

void ItemStatsModel::sort(int column, Qt::SortOrder order) {
  sortColumn_ = column;
  sortOrder_ = order;
  Resort();
}

// The number a column sorts by.
std::optional<double> ItemStatsModel::Key(const Row& r, int column) const {
  const ItemStats& s = r.stats;
  const auto count = [&r](std::int64_t v) { return r.computed ? std::optional<double>(static_cast<double>(v)) : std::nullopt; };
  switch (column) {
    case kColItem: return s.item;
    case kColLsl: return s.lsl;
    case kColUsl: return s.usl;
    case kColN: return count(s.n);
    case kColFails: return count(s.fails);
    case kColFailPct: return s.failPct;
    case kColMean: return s.mean;
    case kColMedian: return s.median;
    case kColStdev: return s.stdev;
    case kColMin: return s.min;
    case kColMax: return s.max;
    case kColCp: return s.cp;
    case kColCpk: return s.cpk;
    default: return std::nullopt;
  }
}

// Puts order_ in the sort order, keeping the selection on its items.
void ItemStatsModel::Resort() {
  Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<std::size_t> rowOfBefore;
  rowOfBefore.reserve(static_cast<std::size_t>(before.size()));
  for (const QModelIndex& i : before) rowOfBefore.push_back(order_[static_cast<std::size_t>(i.row())]);

  std::iota(order_.begin(), order_.end(), 0);
  const bool ascending = sortOrder_ == Qt::AscendingOrder;
  const int column = sortColumn_;
  if (column == kColName || column == kColUnit) {
    std::stable_sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) {
      const QString x = column == kColName ? rows_[a].name : Utf8(rows_[a].unit);
      const QString y = column == kColName ? rows_[b].name : Utf8(rows_[b].unit);
      return ascending ? x < y : y < x;
    });
  } else if (column >= 0) {
    std::stable_sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) {
      const std::optional<double> x = Key(rows_[a], column), y = Key(rows_[b], column);
      if (!x || !y) return x.has_value() && !y.has_value();
      return ascending ? *x < *y : *y < *x;
    });
  }

  std::vector<int> rowOf(order_.size());
  for (std::size_t r = 0; r < order_.size(); ++r) rowOf[order_[r]] = static_cast<int>(r);
  QModelIndexList after;
  for (qsizetype i = 0; i < before.size(); ++i) {
    after.push_back(index(rowOf[rowOfBefore[static_cast<std::size_t>(i)]], before[i].column()));
  }
  changePersistentIndexList(before, after);
  Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace lotvue
