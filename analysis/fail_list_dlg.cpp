#include "analysis/fail_list_dlg.h"

#include <QAbstractTableModel>
#include <QEvent>
#include <QHeaderView>
#include <QTableView>

#include "core/fail_list.h"
#include "core/text_codec.h"
#include "view/dialog_units.h"
#include "view/user_prompts.h"

namespace lotvue {

namespace {

QString Display(std::string_view bytes) { return QString::fromStdString(DisplayUtf8(bytes)); }

// The rows of failRows as a list: "Number" and one column per title cell,
// one list row per failed device. Texts are decoded when they are shown.
class FailRowsModel : public QAbstractTableModel {
 public:
  FailRowsModel(const CellTable& rows, int rowLen, QObject* parent)
      : QAbstractTableModel(parent), rows_(rows), rowLen_(rowLen) {
    if (rowLen_ < 0 || static_cast<std::size_t>(rowLen_) > rows_.width()) rowLen_ = static_cast<int>(rows_.width());
  }

  int rowCount(const QModelIndex& parent) const override {
    if (parent.isValid() || rows_.rows() == 0) return 0;
    return static_cast<int>(rows_.rows() - 1);
  }
  int columnCount(const QModelIndex& parent) const override {
    if (parent.isValid()) return 0;
    return 1 + (rows_.rows() == 0 ? 0 : rowLen_);
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    if (index.column() == 0) return QString::number(index.row() + 1);
    return Display(rows_.At(static_cast<std::size_t>(index.row()) + 1, static_cast<std::size_t>(index.column()) - 1));
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    if (role != Qt::DisplayRole) return {};
    if (section == 0) return QStringLiteral("Number");
    return Display(rows_.At(0, static_cast<std::size_t>(section) - 1));
  }

 private:
  const CellTable& rows_;
  int rowLen_;
};

}  // namespace

CFailListDlg::CFailListDlg(CellTable rows, int rowLen, std::string basePath, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), rows_(std::move(rows)), rowLen_(rowLen), basePath_(std::move(basePath)), prompts_(prompts) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  setWindowTitle(QStringLiteral("Only Fail"));
  setSizeGripEnabled(true);
  list_ = new QTableView(this);
  list_->setObjectName(QString::number(IDC_FAIL_LIST));
  resize(DialogSize(this, 400, 240));
  OnInitDialog();
}

void CFailListDlg::OnInitDialog() {
  list_->setModel(new FailRowsModel(rows_, rowLen_, list_));
  list_->setShowGrid(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setWordWrap(false);
  list_->verticalHeader()->hide();
  // Uniform rows keep a list of a hundred thousand devices quick.
  list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  list_->horizontalHeader()->setDefaultSectionSize(100);
  list_->horizontalHeader()->setHighlightSections(false);
  list_->viewport()->installEventFilter(this);
  list_->setGeometry(rect().adjusted(8, 8, -8, -8));
}

void CFailListDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (list_) list_->setGeometry(rect().adjusted(8, 8, -8, -8));
}

bool CFailListDlg::eventFilter(QObject* watched, QEvent* event) {
  if (list_ && watched == list_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    WriteFailCsv();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void CFailListDlg::WriteFailCsv() {
  const std::string path = csvPath();
  if (!lotvue::WriteFailCsv(rows_, path)) return;  // not writable: no message
  OfferToOpen(prompts_, this, path, true);
}

}  // namespace lotvue
