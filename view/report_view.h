// CLotvueView: the report window of one result file. It keeps the grid
// (rows of the report font's height, columns, scroll position, selection
// mark), polls the loading thread for its lot, and paints the report, or a
// status screen while its file is read or a spreadsheet is written.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QAbstractScrollArea>
#include <QFont>
#include <QImage>

#include "core/loader.h"
#include "core/lot_data.h"
#include "core/report_grid.h"
#include "core/report_paint.h"
#include "core/row_order.h"
#include "view/ascii_glyphs.h"
#include "view/user_prompts.h"

class QPainter;

namespace lotvue {

class CLotvueView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // prompts: how the window and the loading of its file speak to the user.
  explicit CLotvueView(UserPrompts& prompts, QWidget* parent = nullptr);
  ~CLotvueView() override;

  // Window creation: enters the view at the end of OpenViewList, starts
  // loading LoadingLot.path and starts the 20 ms progress timer.
  void OnCreate();

  // The grid of the freshly read LoadingLot in "Matrix" (run for the
  // loading thread on the user-interface thread, before the hand-over).
  void BuildInitialGrid();
  // Lays the grid out again for Lot.viewFormat.
  void RebuildGrid();

  // Commands of the report window.
  void OnViewFormat();  // Format (32796)
  void OnFileClose();   // Close (32771): asks the frame to close
  // Esc, or closing the window, while its file is read: cancels the load;
  // the window closes once the loader has let the lot go. False when this
  // window's file is not being read.
  bool CancelLoading();

  // The lot of this window; empty until the hand-over.
  LotData Lot;
  // Whether the Format command is offered (at most 2000 cell strings).
  int FormatEnabled = 0;
  // Row of the device being written while this window's file is converted
  // to a spreadsheet; set by the conversion, shown on the status screen.
  int ConvertProgress = 0;

  const ReportGrid& grid() const { return grid_; }
  LoadTicket ticket() const { return ticket_; }
  bool timerRunning() const { return timerId_ != 0; }
  // Why the file never arrived: kCannotOpen or kRejected; else kNone.
  LoadOutcome failure() const { return failure_; }
  // True while this window's file is being read.
  bool IsLoading() const;
  const QFont& reportFont() const { return font_; }

  // Scroll position and selection mark, as the user sets them.
  void ScrollToRow(int row);
  void ScrollToX(int x);
  void SetSelectionMark(int row);

  // The device rows as this window shows them (sorted, filtered); the lot
  // itself stays in file order.
  const RowOrder& rows() const { return rows_; }
  // A click on the title cell of a column: sorts by it, or reverses.
  void SortByColumn(int column);
  void SetFilter(const RowFilter& filter);
  // "12,345 of 200,000 devices shown, sorted by 3 IGSS"; empty before the hand-over.
  std::string StatusText() const;
  // The grid row of the title record in "Matrix".
  int TitleRow() const;
  // Selects the rows of every device (Ctrl+A).
  void SelectAll();
  // The selected rows as shown, tab-separated with CR LF, also put on the
  // clipboard (Ctrl+C); "Matrix" only.
  std::string CopySelection();
  // Moves the selection to a shown device row (0-based position) and
  // scrolls it into view; false for -1.
  bool SelectDeviceRow(int position);
  // Find: the next or previous shown row with the text, from the selection.
  bool FindText(const std::string& text, bool forward);
  // Zoom: the report font height, kept between 8 and 48 pixels.
  void SetFontHeight(int height);

  // Paints one frame of the window as it is now into an image of the
  // viewport's size (the back buffer goes the same way).
  void PaintFrame(QImage& image);

  UserPrompts& prompts() const { return prompts_; }

  // Converts the window's whole file at the hand-over while a folder
  // conversion waits for it (BatchConverting); set by the main window.
  std::function<void(CLotvueView&)> convertAtHandOver;

 Q_SIGNALS:
  // The lot has been taken over, or the file will never arrive.
  void loadFinished();
  // The rows shown, their order or the selection changed.
  void rowsChanged();
  // The zoom changed.
  void fontHeightChanged(int height);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void OnTimer();
  void StopTimer();
  void UpdateScrollBars();
  void Draw(QPainter& painter, const PaintList& list);
  void BuildPaintList(PaintList& list) const;
  // The report font of Lot.fontHeight, with the row height and glyphs it gives.
  void ApplyFont();
  // Column under the window x, the frozen serial and bin columns first; -1 for none.
  int ColumnAt(int x) const;
  // Moves the selection mark (with the anchor kept when extending) and
  // scrolls the row into view.
  void MoveSelection(int row, bool extend);

  UserPrompts& prompts_;
  ReportGrid grid_;
  RowOrder rows_;
  QFont font_;
  int maxCharWidth_ = 0;
  AsciiGlyphs glyphs_;
  QImage memBitmap_;  // the back buffer, until the next resize
  PaintList paintList_;
  std::string path_;  // the file this window asked for
  LoadTicket ticket_ = 0;
  LoadOutcome failure_ = LoadOutcome::kNone;
  bool cancelling_ = false;
  int timerId_ = 0;
};

// The report windows that exist and the files they show, index-aligned,
// in the order they were opened.
extern std::vector<CLotvueView*> OpenViewList;
extern std::vector<std::string> OpenPathList;

// 1 while a folder conversion waits for the next hand-over.
extern int BatchConverting;

// The report font of a font height: bold Arial.
QFont ReportFont(int fontHeight);
// Row height of the grid for that font.
int ReportRowHeight(const QFont& font);

// The loader's hooks for the desktop: messages through the prompts of the
// file's window on the user-interface thread (the loader waits for them),
// the grid set-up of that window, the wait cursor.
LoaderHooks GuiLoaderHooks();

}  // namespace lotvue
