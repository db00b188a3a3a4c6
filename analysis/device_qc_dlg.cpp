#include "analysis/device_qc_dlg.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTableWidget>

#include "core/language.h"
#include "core/text_codec.h"
#include "view/dialog_units.h"
#include "view/user_prompts.h"

namespace lotvue {

namespace {

QString Display(std::string_view bytes) { return QString::fromStdString(DisplayUtf8(bytes)); }

QColor ToQColor(QcRgb c) { return QColor(c.r, c.g, c.b); }

QRect ToQRect(const QcRect& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

// The template's size and its two halves' heights, in dialog units.
constexpr int kTemplateWidth = 459, kTemplateHeight = 417;
constexpr int kScatterHalf = 214, kHistogramHalf = 194;

// The number the framework reads from an integer edit: optional blanks,
// an optional sign, decimal digits, optional blanks, within 32 bits.
bool ParseInt(const QString& text, int& value) {
  const QString t = text.trimmed();
  bool ok = false;
  const int v = t.toInt(&ok, 10);
  if (!ok) return false;
  value = v;
  return true;
}

}  // namespace

// One half's chart, a child laid exactly over its area, so that it is drawn
// above the group box of the half (which some styles tint).
class CDeviceQcDlg::Chart : public QWidget {
 public:
  Chart(CDeviceQcDlg* dlg, bool scatter) : QWidget(dlg), dlg_(dlg), scatter_(scatter) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QcScene scene;
    if (scatter_) DrawScatter(dlg_->lot_, dlg_->scatter_, dlg_->scatterArea_, scene);
    else DrawHistogram(dlg_->hist_, dlg_->histogramArea_, scene);
    QPainter painter(this);
    painter.translate(-pos());  // the scene is in the dialog's coordinates
    PaintQcScene(painter, scene);
  }

 private:
  CDeviceQcDlg* dlg_;
  bool scatter_;
};

void PaintQcScene(QPainter& p, const QcScene& scene) {
  for (const QcShape& s : scene.shapes) {
    const QRect r = ToQRect(s.rect);
    switch (s.kind) {
      case QcShape::Fill:
        if (r.width() > 0 && r.height() > 0) p.fillRect(r, ToQColor(s.color));
        break;
      case QcShape::Frame: {
        if (r.width() <= 0 || r.height() <= 0) break;
        const QColor c = ToQColor(s.color);
        p.fillRect(QRect(r.left(), r.top(), r.width(), 1), c);
        p.fillRect(QRect(r.left(), r.top() + r.height() - 1, r.width(), 1), c);
        p.fillRect(QRect(r.left(), r.top(), 1, r.height()), c);
        p.fillRect(QRect(r.left() + r.width() - 1, r.top(), 1, r.height()), c);
        break;
      }
      case QcShape::Text: {
        int flags = Qt::TextSingleLine | Qt::TextDontClip | Qt::AlignVCenter;
        flags |= s.align == QcAlign::Left ? Qt::AlignLeft : s.align == QcAlign::Right ? Qt::AlignRight : Qt::AlignHCenter;
        p.setPen(ToQColor(s.color));
        p.drawText(r, flags, Display(s.text));
        break;
      }
    }
  }
  const QColor red = ToQColor(kQcPointColor);
  for (auto [x, y] : scene.points) p.fillRect(QRect(x - 1, y - 1, 2, 2), red);
}

CDeviceQcDlg::CDeviceQcDlg(QcLot lot, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), lot_(std::move(lot)), prompts_(prompts) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  setWindowTitle(QString());
  setSizeGripEnabled(true);

  int stretch = 0;  // of the controls placed next
  auto place = [this, &stretch](QWidget* w, int id, int x, int y, int width, int height) {
    placed_.push_back({w, QRect(x, y, width, height), stretch});
    if (id != 0) {
      w->setObjectName(QString::number(id));
      controls_[id] = w;
    }
    return w;
  };
  auto label = [&](int id, const char* fixed, int x, int y, int width) {
    auto* l = new QLabel(QString::fromUtf8(fixed), this);
    place(l, id, x, y, width, 9);
    return l;
  };
  auto edit = [&](int id, int x, int y, int width) {
    auto* e = new QLineEdit(this);
    place(e, id, x, y, width, 12);
    return e;
  };
  auto radio = [&](QButtonGroup* group, int value, int id, int x, int y) {
    auto* r = new QRadioButton(this);
    place(r, id, x, y, 44, 10);
    group->addButton(r, value);
    return r;
  };
  auto button = [&](int id, const QString& text, int x, int y, int width, int height) {
    auto* b = new QPushButton(text, this);
    place(b, id, x, y, width, height);
    return b;
  };
  auto list = [&](int id, int x, int y, int width, int height) {
    auto* t = new QTableWidget(0, 2, this);
    place(t, id, x, y, width, height);
    t->setShowGrid(true);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->hide();
    t->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    t->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    t->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    t->horizontalHeader()->setHighlightSections(false);
    t->setWordWrap(false);
    return t;
  };

  // The two halves: a group box each, the item list, a column of controls
  // at the left, the chart to the right of the list.
  stretch = kTall | kWide;
  place(new QGroupBox(this), IDC_SCATTER_GROUP, 7, 0, 445, kScatterHalf);
  stretch = kLower | kTall | kWide;
  place(new QGroupBox(this), IDC_HIST_GROUP, 7, 215, 445, kHistogramHalf);
  stretch = kTall;
  scatterList_ = list(IDC_SCATTER_LIST, 57, 7, 91, 204);
  stretch = kLower | kTall;
  histList_ = list(IDC_HIST_LIST, 57, 222, 91, 184);
  stretch = 0;

  scatterRange_ = new QButtonGroup(this);
  histRange_ = new QButtonGroup(this);

  label(0, "X:", 11, 10, 9);
  label(IDC_X_NUMBER_LABEL, "", 20, 10, 35);
  edit(IDC_X_NUMBER, 11, 19, 44);
  label(0, "Y:", 11, 34, 9);
  label(IDC_Y_NUMBER_LABEL, "", 20, 34, 35);
  edit(IDC_Y_NUMBER, 11, 43, 44);
  radio(scatterRange_, kRangeAll, IDC_SCATTER_ALL, 11, 60);
  radio(scatterRange_, kRangePass, IDC_SCATTER_PASS, 11, 71);
  radio(scatterRange_, kRangeManual, IDC_SCATTER_MANUAL, 11, 82);
  label(0, "X", 11, 97, 40);
  label(IDC_X_MIN_LABEL, "", 11, 108, 16);
  edit(IDC_X_MIN, 27, 106, 28);
  label(IDC_X_MAX_LABEL, "", 11, 122, 16);
  edit(IDC_X_MAX, 27, 120, 28);
  label(0, "Y", 11, 137, 40);
  label(IDC_Y_MIN_LABEL, "", 11, 148, 16);
  edit(IDC_Y_MIN, 27, 146, 28);
  label(IDC_Y_MAX_LABEL, "", 11, 162, 16);
  edit(IDC_Y_MAX, 27, 160, 28);
  button(IDC_SCATTER_SHOW, QString(), 11, 184, 44, 14);

  stretch = kLower;
  label(IDC_HIST_NUMBER_LABEL, "", 11, 226, 44);
  edit(IDC_HIST_NUMBER, 11, 235, 44);
  radio(histRange_, kRangeAll, IDC_HIST_ALL, 11, 252);
  radio(histRange_, kRangePass, IDC_HIST_PASS, 11, 263);
  radio(histRange_, kRangeManual, IDC_HIST_MANUAL, 11, 274);
  label(IDC_HIST_MIN_LABEL, "", 11, 293, 16);
  edit(IDC_HIST_MIN, 27, 291, 28);
  label(IDC_HIST_MAX_LABEL, "", 11, 307, 16);
  edit(IDC_HIST_MAX, 27, 305, 28);
  label(IDC_HIST_STEP_LABEL, "", 11, 321, 16);
  edit(IDC_HIST_STEP, 27, 319, 28);
  button(IDC_HIST_SHOW, QString(), 11, 345, 44, 14);

  scatterChart_ = new Chart(this, true);
  histogramChart_ = new Chart(this, false);

  stretch = kLower | kRight;
  scrollUp_ = static_cast<QPushButton*>(button(IDC_SCROLL_UP, QString::fromUtf8("↑"), 451, 218, 7, 23));
  stretch = kRight | kBottom;
  scrollDown_ = static_cast<QPushButton*>(button(IDC_SCROLL_DOWN, QString::fromUtf8("↓"), 451, 386, 7, 23));
  for (auto* b : findChildren<QPushButton*>()) b->setFocusPolicy(Qt::StrongFocus);

  // The manual edits follow their half's Manual radio.
  auto follow = [this](int manualId, std::initializer_list<int> edits) {
    auto* manual = static_cast<QRadioButton*>(Control(manualId));
    std::vector<QWidget*> targets;
    for (int id : edits) targets.push_back(Control(id));
    connect(manual, &QRadioButton::toggled, this, [targets](bool on) {
      for (QWidget* w : targets) w->setEnabled(on);
    });
  };
  follow(IDC_SCATTER_MANUAL, {IDC_X_MIN, IDC_X_MAX, IDC_Y_MIN, IDC_Y_MAX});
  follow(IDC_HIST_MANUAL, {IDC_HIST_MIN, IDC_HIST_MAX, IDC_HIST_STEP});

  Control(IDC_X_NUMBER)->installEventFilter(this);
  Control(IDC_Y_NUMBER)->installEventFilter(this);
  connect(scatterList_, &QTableWidget::cellClicked, this, [this](int row, int) { OnScatterListClick(row); });
  connect(histList_, &QTableWidget::cellClicked, this, [this](int row, int) { OnHistogramListClick(row); });
  connect(static_cast<QPushButton*>(Control(IDC_SCATTER_SHOW)), &QPushButton::clicked, this, &CDeviceQcDlg::OnShowScatter);
  connect(static_cast<QPushButton*>(Control(IDC_HIST_SHOW)), &QPushButton::clicked, this, &CDeviceQcDlg::OnShowHistogram);
  connect(scrollUp_, &QPushButton::clicked, this, &CDeviceQcDlg::OnScrollUp);
  connect(scrollDown_, &QPushButton::clicked, this, &CDeviceQcDlg::OnScrollDown);

  OnInitDialog();
  const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
  if (screen) FitInto(screen->availableGeometry());
  else LayOut();
}

void CDeviceQcDlg::FitInto(const QRect& available) {
  constexpr int kSmallestFont = 6;  // pixels
  // Room for a window frame and title bar around the dialog.
  const QSize room = available.size() - QSize(16, 48);
  auto templateSize = [this] { return DialogSize(this, kTemplateWidth, kTemplateHeight); };
  setFont(QFont());  // the font the dialog inherits, then smaller ones
  const QSize wanted = templateSize();
  auto fits = [&] {
    const QSize size = templateSize();
    return size.width() <= room.width() && size.height() <= room.height();
  };
  QFont f = font();
  for (int pixels = QFontInfo(f).pixelSize(); !fits() && pixels > kSmallestFont;) {
    f.setPixelSize(--pixels);
    setFont(f);
  }
  const int rowHeight = QFontMetrics(font()).height() + 4;
  for (QTableWidget* t : {scatterList_, histList_}) t->verticalHeader()->setDefaultSectionSize(rowHeight);
  // In a smaller font the radio buttons' circles keep to their rows.
  const int radioHeight = DialogSize(this, 0, 10).height();
  const bool smallRadios = radioHeight < style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight, nullptr, this);
  const QString sheet = smallRadios ? QStringLiteral("QRadioButton::indicator { width: %1px; height: %1px; }").arg(radioHeight)
                                    : QString();
  for (QRadioButton* r : findChildren<QRadioButton*>()) r->setStyleSheet(sheet);
  // At least the template's size; as large as it would be in the inherited
  // font, as far as the screen allows.
  setMinimumSize(templateSize());
  resize(wanted.boundedTo(room).expandedTo(minimumSize()));
  LayOut();
}

void CDeviceQcDlg::LayOut() {
  const QSize least = DialogSize(this, kTemplateWidth, kTemplateHeight);
  const int dw = std::max(0, width() - least.width());
  const int dh = std::max(0, height() - least.height());
  const int upper = dh * kScatterHalf / (kScatterHalf + kHistogramHalf);  // the scatter half's share
  for (const Placed& p : placed_) {
    QRect r = DialogRect(this, p.units.x(), p.units.y(), p.units.width(), p.units.height());
    if (p.stretch & kLower) r.translate(0, upper);
    if (p.stretch & kTall) r.setHeight(r.height() + (p.stretch & kLower ? dh - upper : upper));
    if (p.stretch & kWide) r.setWidth(r.width() + dw);
    if (p.stretch & kRight) r.translate(dw, 0);
    if (p.stretch & kBottom) r.translate(0, dh);
    p.widget->setGeometry(r);
  }
  ComputeAreas();
}

QWidget* CDeviceQcDlg::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QString CDeviceQcDlg::LangText(int slot) const { return QString::fromUtf8(Lang(slot)); }

void CDeviceQcDlg::OnInitDialog() {
  UpdateData(false);
  static constexpr struct { int id; int slot; } kCaptions[] = {
      {IDC_SCATTER_GROUP, kSlotScatter},   {IDC_HIST_GROUP, kSlotHistogram},     {IDC_SCATTER_ALL, kSlotAll},
      {IDC_SCATTER_PASS, kSlotPass},       {IDC_SCATTER_MANUAL, kSlotManual},    {IDC_HIST_ALL, kSlotAll},
      {IDC_HIST_PASS, kSlotPass},          {IDC_HIST_MANUAL, kSlotManual},       {IDC_SCATTER_SHOW, kSlotShow},
      {IDC_HIST_SHOW, kSlotShow},          {IDC_X_NUMBER_LABEL, kSlotNumber},    {IDC_Y_NUMBER_LABEL, kSlotNumber},
      {IDC_HIST_NUMBER_LABEL, kSlotNumber}, {IDC_X_MIN_LABEL, kSlotMin},         {IDC_Y_MIN_LABEL, kSlotMin},
      {IDC_HIST_MIN_LABEL, kSlotMin},      {IDC_X_MAX_LABEL, kSlotMax},          {IDC_Y_MAX_LABEL, kSlotMax},
      {IDC_HIST_MAX_LABEL, kSlotMax},      {IDC_HIST_STEP_LABEL, kSlotStep},
  };
  for (const auto& c : kCaptions) {
    QWidget* w = Control(c.id);
    if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(LangText(c.slot));
    else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(LangText(c.slot));
    else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(LangText(c.slot));
  }
  for (int id : {IDC_X_MIN, IDC_X_MAX, IDC_Y_MIN, IDC_Y_MAX})
    Control(id)->setEnabled(scatter_.range == kRangeManual);
  for (int id : {IDC_HIST_MIN, IDC_HIST_MAX, IDC_HIST_STEP}) Control(id)->setEnabled(hist_.range == kRangeManual);
  scrollUp_->hide();
  scrollDown_->hide();

  for (QTableWidget* t : {scatterList_, histList_}) {
    t->setHorizontalHeaderLabels({QStringLiteral("ID"), QStringLiteral("Item Name")});
    t->setColumnWidth(0, 40);
    t->setColumnWidth(1, 80);
    t->setRowCount(lot_.itemCount);
    for (int i = 0; i < lot_.itemCount; ++i) {
      const std::string name = static_cast<std::size_t>(i) < lot_.itemNames.size() ? ItemListName(lot_.itemNames[i]) : "";
      t->setItem(i, 0, new QTableWidgetItem(QString::number(i + 1)));
      t->setItem(i, 1, new QTableWidgetItem(Display(name)));
    }
  }
  UpdateData(false);
}

bool CDeviceQcDlg::ReadNumber(int id, int& value) {
  auto* e = static_cast<QLineEdit*>(Control(id));
  if (ParseInt(e->text(), value)) return true;
  prompts_.ShowMessage(this, QStringLiteral("Please enter an integer."));
  e->setFocus();
  e->selectAll();
  return false;
}

bool CDeviceQcDlg::UpdateData(bool save) {
  auto text = [this](int id) -> QLineEdit* { return static_cast<QLineEdit*>(Control(id)); };
  struct EditField { int id; std::string* field; } edits[] = {
      {IDC_X_MIN, &scatter_.xMinEdit}, {IDC_X_MAX, &scatter_.xMaxEdit}, {IDC_Y_MIN, &scatter_.yMinEdit},
      {IDC_Y_MAX, &scatter_.yMaxEdit}, {IDC_HIST_MIN, &hist_.minEdit},  {IDC_HIST_MAX, &hist_.maxEdit},
      {IDC_HIST_STEP, &hist_.stepEdit},
  };
  if (save) {
    // Into temporaries first, so that a failed read changes no field.
    int x = 0, y = 0, h = 0;
    if (!ReadNumber(IDC_X_NUMBER, x) || !ReadNumber(IDC_Y_NUMBER, y) || !ReadNumber(IDC_HIST_NUMBER, h)) return false;
    scatter_.xItem = x;
    scatter_.yItem = y;
    hist_.item = h;
    scatter_.range = std::max(scatterRange_->checkedId(), 0);
    hist_.range = std::max(histRange_->checkedId(), 0);
    for (const auto& e : edits) *e.field = text(e.id)->text().toStdString();
  } else {
    text(IDC_X_NUMBER)->setText(QString::number(scatter_.xItem));
    text(IDC_Y_NUMBER)->setText(QString::number(scatter_.yItem));
    text(IDC_HIST_NUMBER)->setText(QString::number(hist_.item));
    if (auto* b = scatterRange_->button(scatter_.range)) b->setChecked(true);
    if (auto* b = histRange_->button(hist_.range)) b->setChecked(true);
    for (const auto& e : edits) text(e.id)->setText(QString::fromStdString(*e.field));
  }
  return true;
}

void CDeviceQcDlg::ShowInvalid(int editId) {
  prompts_.ShowMessage(this, LangText(kSlotInvalid));
  auto* e = static_cast<QLineEdit*>(Control(editId));
  e->setFocus();
  e->selectAll();
}

void CDeviceQcDlg::ComputeAreas() {
  const QRect client = rect();
  auto area = [&](const QTableWidget* list) {
    const QRect g = list->geometry();
    return QcRect{g.x() + g.width() + 10, g.y(), client.x() + client.width() - 20, g.y() + g.height()};
  };
  scatterArea_ = area(scatterList_);
  histogramArea_ = area(histList_);
  scatterChart_->setGeometry(scatterArea());
  histogramChart_->setGeometry(histogramArea());
}

QRect CDeviceQcDlg::scatterArea() const { return ToQRect(scatterArea_); }
QRect CDeviceQcDlg::histogramArea() const { return ToQRect(histogramArea_); }

void CDeviceQcDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  ComputeAreas();
}

void CDeviceQcDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  LayOut();
}

bool CDeviceQcDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (watched == Control(IDC_X_NUMBER)) numberTarget_ = 0;
    else if (watched == Control(IDC_Y_NUMBER)) numberTarget_ = 1;
  }
  return QDialog::eventFilter(watched, event);
}

void CDeviceQcDlg::keyPressEvent(QKeyEvent* event) {
  // Enter ends the dialog unless a button has the focus (it is pressed then).
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      !qobject_cast<QPushButton*>(focusWidget())) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CDeviceQcDlg::OnScatterListClick(int row) {
  if (!UpdateData(true) || row < 0) return;
  int& target = numberTarget_ == 0 ? scatter_.xItem : scatter_.yItem;
  const int old = target;
  target = row + 1;
  if (scatter_.range == kRangeManual && target != old) {
    if (numberTarget_ == 0) {
      scatter_.xMinEdit.clear();
      scatter_.xMaxEdit.clear();
    } else {
      scatter_.yMinEdit.clear();
      scatter_.yMaxEdit.clear();
    }
  }
  UpdateData(false);
  OnShowScatter();
}

void CDeviceQcDlg::OnHistogramListClick(int row) {
  if (!UpdateData(true) || row < 0) return;
  if (hist_.range == kRangeManual && row + 1 != hist_.item) {
    hist_.minEdit.clear();
    hist_.maxEdit.clear();
    hist_.stepEdit.clear();
  }
  hist_.item = row + 1;
  UpdateData(false);
  OnShowHistogram();
}

void CDeviceQcDlg::OnShowScatter() {
  if (!UpdateData(true)) return;
  switch (ShowScatter(lot_, scatter_)) {
    case QcMessage::None:
      scatterChart_->update();
      break;
    case QcMessage::InvalidX:
      ShowInvalid(IDC_X_NUMBER);
      break;
    case QcMessage::InvalidY:
      ShowInvalid(IDC_Y_NUMBER);
      break;
    case QcMessage::InvalidMaxOrMin:
      prompts_.ShowMessage(this, QStringLiteral("Invalid Max Or Min"));  // the same in every language
      break;
    case QcMessage::ItemAllFail:
      prompts_.ShowMessage(this, LangText(kSlotItemAllFail));
      break;
    default:
      break;
  }
}

void CDeviceQcDlg::OnShowHistogram() {
  if (!UpdateData(true)) return;
  const QcMessage message = ShowHistogram(lot_, hist_);
  ShowScrollButtons();
  switch (message) {
    case QcMessage::None:
      histogramChart_->update();
      break;
    case QcMessage::InvalidItem:
      ShowInvalid(IDC_HIST_NUMBER);
      break;
    case QcMessage::InvalidStep:
      prompts_.ShowMessage(this, LangText(kSlotInvalidStep));
      break;
    case QcMessage::InvalidMaxOrMin:
      prompts_.ShowMessage(this, LangText(kSlotInvalidMaxOrMin));
      break;
    default:
      break;
  }
}

void CDeviceQcDlg::ShowScrollButtons() {
  scrollUp_->setVisible(hist_.scrollVisible);
  scrollDown_->setVisible(hist_.scrollVisible);
  if (hist_.scrollVisible) {
    scrollUp_->setEnabled(hist_.upEnabled);
    scrollDown_->setEnabled(hist_.downEnabled);
  }
}

void CDeviceQcDlg::OnScrollUp() {
  ScrollHistogram(hist_, -1);
  ShowScrollButtons();
  histogramChart_->update();
}

void CDeviceQcDlg::OnScrollDown() {
  ScrollHistogram(hist_, +1);
  ShowScrollButtons();
  histogramChart_->update();
}

QcScene CDeviceQcDlg::Scene() const {
  QcScene scene;
  DrawScatter(lot_, scatter_, scatterArea_, scene);
  DrawHistogram(hist_, histogramArea_, scene);
  return scene;
}

}  // namespace lotvue
