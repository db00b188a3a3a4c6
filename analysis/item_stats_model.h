// ItemStatsModel: the table of the item statistics window. One row per
// ordinary item, in item order until a column is sorted (numbers compare as
// numbers, undefined values come last either way); numbers in engineering
// notation with the item's unit; Cpk below 1.33 marked, below 1.0 in red.
// Rows not computed yet show their limits only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QString>

#include "core/item_stats.h"

namespace lotvue {

enum ItemStatsColumn : int {
  kColItem, kColName, kColUnit, kColLsl, kColUsl, kColN, kColFails, kColFailPct,
  kColMean, kColMedian, kColStdev, kColMin, kColMax, kColCp, kColCpk, kItemStatsColumns
};

// The item's unit as the report shows it, in UTF-8; empty without one.
std::string ItemUnitText(const LotData& lot, int item);

class ItemStatsModel : public QAbstractTableModel {
 public:
  ItemStatsModel(const LotData& lot, QObject* parent);

  // The computed table, in item order (as ComputeItemStats gives it).
  void SetTable(const std::vector<ItemStats>& table);
  // One computed row.
  void SetRow(const ItemStats& s);
  // Every row back to its limits (the devices taken changed).
  void ClearComputed();
  // The column titles in the current language.
  void RetranslateHeader();

  int ItemAt(int row) const;
  // The row that shows the item; -1 for none.
  int RowOf(int item) const;
  // The text of a cell as the table shows it.
  QString Text(int row, int column) const;

  int rowCount(const QModelIndex& parent) const override;
  int columnCount(const QModelIndex& parent) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  void sort(int column, Qt::SortOrder order) override;

 private:
  struct Row {
    ItemStats stats;
    bool computed = false;
    QString name;
    std::string unit;
  };

  std::optional<double> Key(const Row& r, int column) const;
  void Resort();

  std::vector<Row> rows_;           // item order
  std::vector<std::size_t> order_;  // table row -> rows_ index
  int sortColumn_ = -1;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

}  // namespace lotvue
