#include "view/report_view.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>

#include "core/app_settings.h"
#include "core/frame_layout.h"
#include "core/language.h"
#include "core/text_codec.h"
#include "core/value_text.h"
#include "view/view_format_dlg.h"

namespace lotvue {

std::vector<CLotvueView*> OpenViewList;
std::vector<std::string> OpenPathList;
int BatchConverting = 0;

namespace {

constexpr int kProgressTimerMs = 20;
constexpr int kStatusScreenHeight = 80;  // the status line and the progress bar under it

QColor ToQColor(ColorRef c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

QString DisplayText(std::string_view bytes) {
  if (IsAscii(bytes)) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  return QString::fromStdString(DisplayUtf8(bytes));
}

CLotvueView* ViewOfTicket(LoadTicket ticket) {
  for (CLotvueView* view : OpenViewList) {
    if (view->ticket() == ticket) return view;
  }
  return nullptr;
}

// Messages of the reader, shown on the user-interface thread by the window
// whose file is being read, while the loading thread waits.
class GuiReaderEvents : public ReaderEvents {
 public:
  void NotTsdFile() override { Show(Lang(kSlotIsNotTsdFile)); }
  void RangeWarning(int deviceIndex, int itemIndex, int mantissa) override {
    Show(RangeWarningText(deviceIndex, itemIndex, mantissa));
  }

 private:
  static void Show(const std::string& text) {
    QMetaObject::invokeMethod(
        qApp,
        [text] {
          if (CLotvueView* view = ViewOfTicket(CurrentLoadTicket())) {
            view->prompts().ShowMessage(nullptr, QString::fromStdString(text));
          }
        },
        Qt::BlockingQueuedConnection);
  }
};

}  // namespace

QFont ReportFont(int fontHeight) {
  QFont font(QStringLiteral("Arial"));
  // The height is the font's cell height (ascent plus descent); Arial's
  // em square is 2048 of its 2288 cell units.
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(fontHeight * 2048.0 / 2288.0))));
  font.setBold(true);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  font.setStyleStrategy(QFont::PreferDefault);
  return font;
}

int ReportRowHeight(const QFont& font) { return QFontMetrics(font).height() + 2; }

LoaderHooks GuiLoaderHooks() {
  static GuiReaderEvents events;
  LoaderHooks hooks;
  hooks.events = &events;
  hooks.beforeReady = [](LoadTicket ticket) {
    QMetaObject::invokeMethod(
        qApp,
        [ticket] {
          if (CLotvueView* view = ViewOfTicket(ticket)) view->BuildInitialGrid();
        },
        Qt::BlockingQueuedConnection);
  };
  hooks.busyCursor = [](bool busy) {
    QMetaObject::invokeMethod(
        qApp,
        [busy] {
          if (busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
          } else {
            QApplication::restoreOverrideCursor();
          }
        },
        Qt::QueuedConnection);
  };
  hooks.options.avgStdOnlyPass = AppSettings.AvgStdOnlyPass == 1;
  return hooks;
}

CLotvueView::CLotvueView(UserPrompts& prompts, QWidget* parent) : QAbstractScrollArea(parent), prompts_(prompts) {
  setFrameShape(QFrame::Box);
  setFrameShadow(QFrame::Plain);
  setLineWidth(1);
  setFocusPolicy(Qt::StrongFocus);
  ApplyFont();
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAutoFillBackground(false);
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setSingleStep(20);
  UpdateScrollBars();
}

CLotvueView::~CLotvueView() {
  StopTimer();
  ForgetLoad(ticket_);
  const auto it = std::find(OpenViewList.begin(), OpenViewList.end(), this);
  if (it != OpenViewList.end()) {
    // The frame removes the pair when it goes; this only guards a view
    // that is deleted on its own.
    const auto index = static_cast<std::size_t>(it - OpenViewList.begin());
    OpenViewList.erase(it);
    if (index < OpenPathList.size()) OpenPathList.erase(OpenPathList.begin() + static_cast<std::ptrdiff_t>(index));
  }
}

void CLotvueView::OnCreate() {
  OpenViewList.push_back(this);
  path_ = LoadingLot.path;
  ticket_ = StartLoading(GuiLoaderHooks());
  if (ticket_ == 0) {
    failure_ = LoadOutcome::kCannotOpen;
    return;
  }
  timerId_ = startTimer(kProgressTimerMs);
}

bool CLotvueView::IsLoading() const {
  return Lot.loadState.load() == kIdle && ticket_ != 0 && CurrentLoadTicket() == ticket_ &&
         LoadingLot.loadState.load() == kReading;
}

void CLotvueView::BuildInitialGrid() {
  lotvue::BuildInitialGrid(grid_, LoadingLot, Lot.fontHeight);
  UpdateScrollBars();
}

void CLotvueView::RebuildGrid() {
  lotvue::RebuildGrid(grid_, Lot, Lot.fontHeight, viewport()->width(), &rows_);
  UpdateScrollBars();
}

void CLotvueView::OnViewFormat() {
  CViewFormatDlg dialog(this);
  dialog.m_nFormat = Lot.viewFormat;
  if (dialog.exec() != QDialog::Accepted) return;
  Lot.viewFormat = dialog.m_nFormat;
  RebuildGrid();
  viewport()->update();
}

void CLotvueView::OnFileClose() {
  // The frame decides (it refuses while a file is being read).
  QWidget* frame = parentWidget();
  while (frame && !frame->isWindow() && !frame->inherits("QMdiSubWindow")) frame = frame->parentWidget();
  if (frame) frame->close();
}

bool CLotvueView::CancelLoading() {
  const bool mine = ticket_ != 0 && CurrentLoadTicket() == ticket_ && Lot.loadState.load() == kIdle;
  if (!mine || OutcomeOf(ticket_) != LoadOutcome::kReading) return false;
  cancelling_ = true;
  CancelLoad(ticket_);
  return true;
}

void CLotvueView::StopTimer() {
  if (timerId_ != 0) {
    killTimer(timerId_);
    timerId_ = 0;
  }
}

void CLotvueView::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timerId_ || timerId_ == 0) {
    QAbstractScrollArea::timerEvent(event);
    return;
  }
  OnTimer();
}

void CLotvueView::OnTimer() {
  bool finished = false;
  if (cancelling_ && LoadingLot.loadState.load() == kRead) CancelLoad(ticket_);  // read meanwhile: dropped
  if (LoadingLot.loadState.load() == kRead) {
    finished = TakeLoadedLot(ticket_, Lot, [this] {
      StopTimer();
      if (BatchConverting == 1) {
        if (convertAtHandOver) convertAtHandOver(*this);
        BatchConverting = 0;
      }
    });
    if (finished) {
      FormatEnabled = FormatEnabledFor(Lot) ? 1 : 0;
      rows_.Reset(Lot.devices());
      UpdateScrollBars();
      Q_EMIT rowsChanged();
    }
  }
  if (!finished) {
    const LoadOutcome outcome = OutcomeOf(ticket_);
    // A cancelled load ends once the loader has let go, so that the window may close.
    const bool settled = outcome != LoadOutcome::kCancelled || LoaderIdle();
    if (outcome != LoadOutcome::kNone && outcome != LoadOutcome::kReading && outcome != LoadOutcome::kLoaded && settled) {
      // The file will not come: stop polling and say so in the window. Its
      // thread only restores the cursor and ends; waiting for it makes the
      // program idle when loadFinished updates the main window's commands
      // (the thread of a later file is never waited for).
      StopTimer();
      if (CurrentLoadTicket() == ticket_) JoinLoaderThread();
      failure_ = outcome;
      ForgetLoad(ticket_);
      finished = true;
    }
  }
  if (finished) {
    viewport()->update();
    Q_EMIT loadFinished();
    if (failure_ == LoadOutcome::kNoMemory) prompts_.ShowMessage(this, QString::fromStdString(NotEnoughMemoryText(path_)));
    if (failure_ == LoadOutcome::kCancelled) OnFileClose();
  } else {
    // Only the status lines change from tick to tick.
    viewport()->update(QRect(0, 0, viewport()->width(), kStatusScreenHeight));
  }
}

void CLotvueView::ScrollToRow(int row) { verticalScrollBar()->setValue(row); }
void CLotvueView::ScrollToX(int x) { horizontalScrollBar()->setValue(x); }

void CLotvueView::SetSelectionMark(int row) {
  grid_.selectionMark = row;
  viewport()->update();
}

void CLotvueView::UpdateScrollBars() {
  const QSize size = viewport()->size();
  QScrollBar* v = verticalScrollBar();
  QScrollBar* h = horizontalScrollBar();
  v->setPageStep(grid_.FullRowsIn(size.height()));
  v->setRange(0, grid_.MaxFirstRow(size.height()));
  h->setPageStep(std::max(1, size.width()));
  h->setRange(0, grid_.MaxScrollX(size.width()));
  grid_.firstRow = v->value();
  grid_.scrollX = h->value();
}

void CLotvueView::scrollContentsBy(int, int) {
  grid_.firstRow = verticalScrollBar()->value();
  grid_.scrollX = horizontalScrollBar()->value();
  viewport()->update();
}

int CLotvueView::ColumnAt(int x) const {
  if (x < 0) return -1;
  if (grid_.scrollX > 0 && Lot.viewFormat == kFormatMatrix) {
    if (x < grid_.ColumnWidth(0)) return 0;
    if (x < grid_.ColumnWidth(0) + grid_.ColumnWidth(1)) return 1;
  }
  for (int c = 0; c < grid_.columnCount(); ++c) {
    const int left = grid_.ColumnLeft(c);
    if (x >= left && x < left + grid_.ColumnWidth(c)) return c;
  }
  return -1;
}

int CLotvueView::TitleRow() const { return MatrixHeaderRows(Lot); }

void CLotvueView::MoveSelection(int row, bool extend) {
  if (row < 0) return;
  if (extend) {
    if (grid_.selectionAnchor < 0) grid_.selectionAnchor = grid_.selectionMark < 0 ? row : grid_.selectionMark;
  } else {
    grid_.selectionAnchor = -1;
  }
  grid_.selectionMark = row;
  const int title = Lot.viewFormat == kFormatMatrix ? TitleRow() : -1;
  ScrollToRow(FirstRowShowing(grid_, row, viewport()->height(), title));
  viewport()->update();
  Q_EMIT rowsChanged();
}

void CLotvueView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && Lot.loadState.load() == kRead) {
    const QPoint pos = event->position().toPoint();
    const int row = grid_.RowAt(pos.y());
    const bool matrix = Lot.viewFormat == kFormatMatrix;
    // The title record, in its place or stuck on top, sorts by the column clicked.
    const bool onTitle = matrix && (row == TitleRow() || (grid_.firstRow > TitleRow() && pos.y() < grid_.rowHeight));
    const int column = ColumnAt(pos.x());
    if (onTitle && column >= 0) {
      SortByColumn(column);
    } else if (row >= 0 && column >= 0) {  // a click beside the columns hits no row
      MoveSelection(row, event->modifiers() & Qt::ShiftModifier);
    }
    viewport()->update();
  }
  QAbstractScrollArea::mousePressEvent(event);
}

void CLotvueView::mouseMoveEvent(QMouseEvent* event) {
  // A drag with the button held extends the selected block.
  if ((event->buttons() & Qt::LeftButton) && grid_.selectionMark >= 0) {
    const int y = std::clamp(static_cast<int>(event->position().y()), 0, viewport()->height() - 1);
    const int row = grid_.RowAt(y);
    if (row >= 0 && row != grid_.selectionMark) MoveSelection(row, true);
  }
  QAbstractScrollArea::mouseMoveEvent(event);
}

void CLotvueView::keyPressEvent(QKeyEvent* event) {
  // Esc in the loading window cancels the load.
  if (event->key() == Qt::Key_Escape && CancelLoading()) return;
  if (Lot.loadState.load() != kRead) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  if (event->matches(QKeySequence::SelectAll)) return SelectAll();
  if (event->matches(QKeySequence::Copy)) {
    CopySelection();
    return;
  }
  if (ctrl && (event->key() == Qt::Key_Plus || event->key() == Qt::Key_Equal)) return SetFontHeight(Lot.fontHeight + kZoomStep);
  if (ctrl && event->key() == Qt::Key_Minus) return SetFontHeight(Lot.fontHeight - kZoomStep);
  if (ctrl && event->key() == Qt::Key_0) return SetFontHeight(LotContent{}.fontHeight);
  RowKey key;
  switch (event->key()) {
    case Qt::Key_Up: key = RowKey::kUp; break;
    case Qt::Key_Down: key = RowKey::kDown; break;
    case Qt::Key_PageUp: key = RowKey::kPageUp; break;
    case Qt::Key_PageDown: key = RowKey::kPageDown; break;
    case Qt::Key_Home: key = ctrl ? RowKey::kFirst : RowKey::kHome; break;
    case Qt::Key_End: key = ctrl ? RowKey::kLast : RowKey::kEnd; break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  const int firstDevice = Lot.viewFormat == kFormatMatrix ? TitleRow() + 1 : 0;
  MoveSelection(RowAfterKey(grid_, key, viewport()->height(), firstDevice), shift);
}

void CLotvueView::wheelEvent(QWheelEvent* event) {
  if ((event->modifiers() & Qt::ControlModifier) && Lot.loadState.load() == kRead) {
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0) SetFontHeight(Lot.fontHeight + steps * kZoomStep);
    return;
  }
  QAbstractScrollArea::wheelEvent(event);
}

void CLotvueView::SortByColumn(int column) {
  rows_.SortByClick(Lot, column);
  RebuildGrid();
  viewport()->update();
  Q_EMIT rowsChanged();
}

void CLotvueView::SetFilter(const RowFilter& filter) {
  rows_.Apply(Lot, rows_.sort(), filter);
  grid_.selectionMark = grid_.selectionAnchor = -1;
  RebuildGrid();
  viewport()->update();
  Q_EMIT rowsChanged();
}

std::string CLotvueView::StatusText() const {
  return Lot.loadState.load() == kRead ? RowOrderStatus(Lot, rows_, LanguageTable.language) : std::string();
}

void CLotvueView::SelectAll() {
  if (Lot.viewFormat != kFormatMatrix || rows_.shown() == 0) return;
  grid_.selectionAnchor = TitleRow() + 1;
  grid_.selectionMark = grid_.rowCount - 1;
  viewport()->update();
  Q_EMIT rowsChanged();
}

std::string CLotvueView::CopySelection() {
  if (Lot.viewFormat != kFormatMatrix || grid_.selectionMark < 0) return {};
  const int a = grid_.selectionAnchor < 0 ? grid_.selectionMark : grid_.selectionAnchor;
  const std::string text = MatrixRowsText(Lot, &rows_, std::min(a, grid_.selectionMark), std::max(a, grid_.selectionMark));
  QApplication::clipboard()->setText(QString::fromStdString(DisplayUtf8(text)));
  return text;
}

bool CLotvueView::SelectDeviceRow(int position) {
  if (position < 0 || Lot.viewFormat != kFormatMatrix) return false;
  MoveSelection(TitleRow() + 1 + position, false);
  return true;
}

bool CLotvueView::FindText(const std::string& text, bool forward) {
  const int title = TitleRow();
  const int from = grid_.selectionMark > title ? grid_.selectionMark - title - 1 : -1;
  return SelectDeviceRow(FindRow(Lot, rows_, from, text, forward));
}

void CLotvueView::ApplyFont() {
  font_ = ReportFont(Lot.fontHeight);
  setFont(font_);
  viewport()->setFont(font_);
  maxCharWidth_ = QFontMetrics(font_).maxWidth();
  glyphs_ = AsciiGlyphs(font_);
  grid_.rowHeight = ReportRowHeight(font_);
}

void CLotvueView::SetFontHeight(int height) {
  Lot.fontHeight = ClampFontHeight(height);
  ApplyFont();
  if (Lot.loadState.load() == kRead) RebuildGrid();
  memBitmap_ = QImage();
  viewport()->update();
  Q_EMIT fontHeightChanged(Lot.fontHeight);
}

void CLotvueView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  memBitmap_ = QImage();
  UpdateScrollBars();
}

void CLotvueView::BuildPaintList(PaintList& list) const {
  list.Clear();
  const QSize size = viewport()->size();
  if (LoadingLot.loadState.load() == kConverting) {
    PaintStatus(list, ConvertingStatus(Lot, ConvertProgress));
    return;
  }
  if (IsLoading()) {
    PaintStatus(list, LoadingStatus(LoadingLot, grid_.rowCount));
    return;
  }
  if (failure_ != LoadOutcome::kNone) {
    // The file never arrives: the window says why instead of waiting.
    StatusScreen screen;
    screen.text = failure_ == LoadOutcome::kRejected   ? std::string(Lang(kSlotIsNotTsdFile)) + ": " + path_
                  : failure_ == LoadOutcome::kNoMemory ? NotEnoughMemoryText(path_)
                                                       : CannotOpenText(path_);
    PaintStatus(list, screen);
    return;
  }
  PaintInputs in;
  in.width = size.width();
  in.height = size.height();
  in.frameHeight = height();
  in.showLine = AppSettings.ShowLine == 1;
  in.maxCharWidth = maxCharWidth_;
  PaintReport(list, grid_, Lot, in, &rows_);
}

void CLotvueView::Draw(QPainter& painter, const PaintList& list) {
  const QFontMetrics metrics(font_);
  const int ascent = metrics.ascent();
  const int lineHeight = metrics.height();
  painter.setFont(font_);
  for (const PaintOp& op : list.ops) {
    const PaintRect& r = op.rect;
    switch (op.kind) {
      case PaintKind::kFill:
        if (r.right > r.left && r.bottom > r.top) painter.fillRect(r.left, r.top, r.right - r.left, r.bottom - r.top, ToQColor(op.color));
        break;
      case PaintKind::kFrame:
        if (r.right > r.left && r.bottom > r.top) {
          painter.setPen(ToQColor(op.color));
          painter.setBrush(Qt::NoBrush);
          painter.drawRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1);
        }
        break;
      case PaintKind::kText: {
        const std::string_view bytes = list.TextOf(op);
        if (bytes.empty()) break;
        painter.setPen(ToQColor(op.color));
        const bool fast = glyphs_.CanDraw(bytes);
        QString text;
        if (!fast) text = DisplayText(bytes);
        auto width = [&] { return fast ? static_cast<int>(glyphs_.Width(bytes) + 0.5) : metrics.horizontalAdvance(text); };
        int x = r.left;
        int y = r.top + (r.bottom - r.top - lineHeight) / 2 + ascent;
        switch (op.place) {
          case TextPlace::kLeft:
            break;
          case TextPlace::kRight:
            x = r.right - width();
            break;
          case TextPlace::kCentre:
            x = r.left + (r.right - r.left - width()) / 2;
            break;
          case TextPlace::kTopLeft:
            y = r.top + ascent;
            break;
        }
        if (op.clip) painter.setClipRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
        if (fast) {
          glyphs_.Draw(painter, x, y, bytes);
        } else {
          painter.drawText(x, y, text);
        }
        if (op.clip) painter.setClipping(false);
        break;
      }
    }
  }
}

void CLotvueView::PaintFrame(QImage& image) {
  const QSize size = viewport()->size();
  if (image.size() != size) image = QImage(size, QImage::Format_RGB32);
  image.fill(ToQColor(kBackgroundColor));
  BuildPaintList(paintList_);
  QPainter painter(&image);
  Draw(painter, paintList_);
}

void CLotvueView::paintEvent(QPaintEvent* event) {
  if (memBitmap_.size() != viewport()->size()) memBitmap_ = QImage(viewport()->size(), QImage::Format_RGB32);
  if (memBitmap_.isNull()) return;
  PaintFrame(memBitmap_);
  QPainter painter(viewport());
  const QRect exposed = event->rect();
  painter.drawImage(exposed, memBitmap_, exposed);
}

}  // namespace lotvue
