#include "view/report_bars.h"

#include <algorithm>

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>

#include "core/grid_texts.h"
#include "core/number_text.h"
#include "core/row_order.h"
#include "core/text_codec.h"
#include "view/report_view.h"

namespace lotvue {

namespace {

QString Tr(GridText text) { return QString::fromUtf8(GridTextOf(text)); }

}  // namespace

CReportBar::CReportBar(CLotvueView& view, QWidget* parent)
    : QWidget(parent), view_(view), layout_(new QHBoxLayout(this)), caption_(new QLabel(this)),
      edit_(new QLineEdit(this)), message_(new QLabel(this)), close_(new QToolButton(this)) {
  layout_->setContentsMargins(4, 2, 4, 2);
  edit_->setMinimumWidth(160);
  edit_->setMaximumWidth(320);
  edit_->installEventFilter(this);
  message_->setStyleSheet(QStringLiteral("color: #c00000"));
  close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  close_->setAutoRaise(true);
  connect(close_, &QToolButton::clicked, this, [this] { Close(); });
  connect(edit_, &QLineEdit::textEdited, this, [this] { Say(QString()); });
  layout_->addWidget(caption_);
  layout_->addWidget(edit_);
  layout_->addWidget(message_);
  layout_->addStretch(1);
  layout_->addWidget(close_);
  hide();
}

void CReportBar::Open() {
  Retranslate();
  // Tab goes through the bar from left to right, as the fields stand.
  QWidget* previous = nullptr;
  for (int i = 0; i < layout_->count(); ++i) {
    QWidget* w = layout_->itemAt(i)->widget();
    if (!w || w->focusPolicy() == Qt::NoFocus) continue;
    if (previous) setTabOrder(previous, w);
    previous = w;
  }
  show();
  // The text field, or the first choice while the text is hidden.
  if (edit_->isHidden() && firstChoice_) {
    firstChoice_->setFocus(Qt::ShortcutFocusReason);
  } else {
    edit_->setFocus(Qt::ShortcutFocusReason);
    edit_->selectAll();
  }
}

void CReportBar::Close() {
  Say(QString());
  hide();
  view_.setFocus(Qt::OtherFocusReason);
}

QString CReportBar::message() const { return message_->text(); }

void CReportBar::Say(const QString& text) { message_->setText(text); }

QPushButton* CReportBar::ActButton(bool backwards) {
  auto* button = new QPushButton(this);
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, [this, backwards] { Act(backwards); });
  return button;
}

bool CReportBar::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == edit_ && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
      Act(key->modifiers() & Qt::ShiftModifier);
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      Close();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

CFindBar::CFindBar(CLotvueView& view, QWidget* parent)
    : CReportBar(view, parent), next_(ActButton(false)), previous_(ActButton(true)) {
  layout_->insertWidget(2, next_);
  layout_->insertWidget(3, previous_);
}

void CFindBar::Retranslate() {
  caption_->setText(Tr(kGtFind));
  next_->setText(Tr(kGtNext));
  previous_->setText(Tr(kGtPrevious));
}

void CFindBar::Act(bool backwards) {
  const std::string text = edit_->text().trimmed().toStdString();
  if (text.empty()) return;
  Say(view_.FindText(text, !backwards) ? QString() : Tr(kGtNotFound));
}

CGoToBar::CGoToBar(CLotvueView& view, QWidget* parent)
    : CReportBar(view, parent), by_(new QComboBox(this)), go_(ActButton(false)) {
  by_->addItems({QString(), QString()});
  layout_->insertWidget(1, by_);
  layout_->insertWidget(3, go_);
}

void CGoToBar::Retranslate() {
  caption_->setText(Tr(kGtGoTo));
  by_->setItemText(0, Tr(kGtPosition));
  by_->setItemText(1, Tr(kGtSerial));
  go_->setText(Tr(kGtGo));
}

void CGoToBar::Act(bool) {
  const LotData& lot = view_.Lot;
  const long long number = NumberIn(edit_->text().toStdString());
  if (number < 0) return Say(Tr(kGtNotANumber));
  const bool bySerial = by_->currentIndex() == 1;
  const int device = bySerial ? DeviceWithSerial(lot, number) : DeviceAtFilePosition(lot, number);
  const QString typed = QString::fromStdString(IntText(number));
  if (device < 0) return Say(Tr(bySerial ? kGtNoSerial : kGtNoPosition) + typed);
  const int position = view_.rows().PositionOf(device);
  if (position < 0) {
    return Say(Tr(kGtHidden) + QString::fromStdString(DisplayUtf8(lot.deviceCells.At(static_cast<std::size_t>(device) + 1, kSerialColumn))));
  }
  view_.SelectDeviceRow(position);
  Close();
}

CFilterBar::CFilterBar(CLotvueView& view, QWidget* parent)
    : CReportBar(view, parent), kind_(new QComboBox(this)), column_(new QComboBox(this)), apply_(ActButton(false)) {
  for (int i = 0; i < 5; ++i) kind_->addItem(QString());
  column_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  column_->setMaxVisibleItems(20);
  firstChoice_ = kind_;
  kind_->installEventFilter(this);
  column_->installEventFilter(this);
  layout_->insertWidget(1, kind_);
  layout_->insertWidget(2, column_);
  layout_->insertWidget(4, apply_);
  // A choice applies at once (a bin or a text not given yet: every device);
  // the keyboard stays in the list, so that the arrows go through it.
  connect(kind_, &QComboBox::activated, this, [this] {
    ShowFieldsOfKind();
    Act(false);
  });
  connect(column_, &QComboBox::activated, this, [this] { Act(false); });
  ShowFieldsOfKind();
}

void CFilterBar::Retranslate() {
  caption_->setText(Tr(kGtShow));
  const GridText kinds[] = {kGtAllDevices, kGtFailedOnly, kGtPassedOnly, kGtOneBin, kGtColumnContains};
  for (int i = 0; i < 5; ++i) kind_->setItemText(i, Tr(kinds[i]));
  apply_->setText(Tr(kGtApply));
  // The columns of the lot, by their titles.
  const LotData& lot = view_.Lot;
  const int columns = lot.deviceCells.rows() > 0 ? static_cast<int>(lot.deviceCells.width()) : 0;
  if (column_->count() != columns) {
    const QSignalBlocker block(column_);
    const int current = column_->currentIndex();
    column_->clear();
    for (int c = 0; c < columns; ++c) {
      column_->addItem(QString::fromStdString(DisplayUtf8(lot.deviceCells.At(0, static_cast<std::size_t>(c)))));
    }
    column_->setCurrentIndex(std::clamp(current, 0, columns - 1));
  }
}

void CFilterBar::ShowFieldsOfKind() {
  const auto kind = static_cast<RowFilterKind>(kind_->currentIndex());
  edit_->setVisible(kind == RowFilterKind::kBin || kind == RowFilterKind::kContains);
  apply_->setVisible(edit_->isVisibleTo(this));
  column_->setVisible(kind == RowFilterKind::kContains);
}

void CFilterBar::Act(bool) {
  RowFilter filter;
  filter.kind = static_cast<RowFilterKind>(kind_->currentIndex());
  if (filter.kind == RowFilterKind::kBin || filter.kind == RowFilterKind::kContains) {
    filter.text = edit_->text().trimmed().toStdString();
  }
  if (filter.kind == RowFilterKind::kBin && filter.text.empty()) filter.kind = RowFilterKind::kAll;
  if (filter.kind == RowFilterKind::kBin && NumberIn(filter.text) < 0) return Say(Tr(kGtNotANumber));
  if (filter.kind == RowFilterKind::kContains) filter.column = std::max(0, column_->currentIndex());
  Say(QString());
  view_.SetFilter(filter);
}

void CFilterBar::Close() {
  kind_->setCurrentIndex(0);
  ShowFieldsOfKind();
  if (!(view_.rows().filter() == RowFilter{})) view_.SetFilter(RowFilter{});
  CReportBar::Close();
}

}  // namespace lotvue
