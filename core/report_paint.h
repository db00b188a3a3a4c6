// What the report window paints, as a list of fills, frames and texts in
// window coordinates: the two report formats over the grid, and the status
// screens with their progress bar. The window only carries the list out, so
// positions and colours can be checked without pixels.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/cell_table.h"
#include "core/lot_data.h"
#include "core/report_grid.h"

namespace lotvue {

constexpr ColorRef Rgb(int r, int g, int b) {
  return static_cast<ColorRef>(r) | (static_cast<ColorRef>(g) << 8) | (static_cast<ColorRef>(b) << 16);
}
constexpr int RedOf(ColorRef c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(ColorRef c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(ColorRef c) { return static_cast<int>((c >> 16) & 0xFF); }

// The report colours.
inline constexpr ColorRef kBackgroundColor = Rgb(255, 255, 255);
inline constexpr ColorRef kTextColor = Rgb(0, 0, 0);
inline constexpr ColorRef kLineColor = Rgb(150, 150, 150);
inline constexpr ColorRef kSelectionColor = Rgb(0, 0, 200);
inline constexpr ColorRef kTitleColor = Rgb(0, 255, 255);
inline constexpr ColorRef kBandColor = Rgb(0, 150, 0);
inline constexpr ColorRef kProgressFillColor = Rgb(0, 255, 255);
inline constexpr ColorRef kProgressFrameColor = Rgb(0, 0, 200);

// Cell backgrounds: column c uses entry c % 40.
inline constexpr int kFillColors = 40;
extern const ColorRef kCellFillTable[kFillColors];
inline ColorRef CellFillColor(int column) { return kCellFillTable[column % kFillColors]; }

struct PaintRect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  bool operator==(const PaintRect&) const = default;
};

enum class PaintKind : std::uint8_t {
  kFill,   // solid fill of rect
  kFrame,  // 1-pixel outline along the inside of rect
  kText,   // one line of text placed in rect
};

// How a text lies in its rectangle.
enum class TextPlace : std::uint8_t {
  kLeft,        // left edge, vertically centred
  kRight,       // right edge, vertically centred
  kCentre,      // centred both ways
  kTopLeft,     // top-left corner
};

struct PaintOp {
  PaintKind kind = PaintKind::kFill;
  TextPlace place = TextPlace::kLeft;
  bool clip = false;  // a text cut at the edges of rect
  ColorRef color = 0;
  PaintRect rect;
  std::uint32_t textBegin = 0;  // into PaintList::texts
  std::uint32_t textLength = 0;
};

// One frame's drawing, reused from frame to frame.
class PaintList {
 public:
  void Clear() {
    ops.clear();
    texts.clear();
  }
  void Fill(const PaintRect& r, ColorRef c) { ops.push_back({PaintKind::kFill, TextPlace::kLeft, false, c, r, 0, 0}); }
  void Frame(const PaintRect& r, ColorRef c) { ops.push_back({PaintKind::kFrame, TextPlace::kLeft, false, c, r, 0, 0}); }
  // A text; with leadingBlank the text is drawn with one blank in front.
  void Text(const PaintRect& r, ColorRef c, TextPlace place, std::string_view text, bool leadingBlank = false);
  std::string_view TextOf(const PaintOp& op) const { return std::string_view(texts).substr(op.textBegin, op.textLength); }

  std::vector<PaintOp> ops;
  std::string texts;
};

struct PaintInputs {
  int width = 0;             // the window's client size
  int height = 0;
  int frameHeight = 0;       // client height of the frame that holds the window (F)
  bool showLine = false;
  // Widest character of the report font; lets cells scrolled out to the left
  // be skipped when their text cannot reach the window. 0 draws them all.
  int maxCharWidth = 0;
};

// The report of a loaded lot over its grid, in the lot's format; with a row
// order, its rows in its order. In "Matrix" the serial and bin columns stay
// at the left while the grid scrolls sideways; their texts are clipped at
// the cell edge. Every row of the selected block is highlighted.
void PaintReport(PaintList& out, const ReportGrid& grid, const LotData& lot, const PaintInputs& in,
                 const RowOrder* rows = nullptr);

// A status screen: a line of text at (10, 10) and, when bar is set, the
// progress bar of done out of total under it.
struct StatusScreen {
  std::string text;
  bool bar = false;
  int done = 0;
  int total = 0;
};

// The status of the window whose file is being read; listRows is the number
// of rows its grid has so far.
StatusScreen LoadingStatus(const LotData& loading, int listRows);
// The status of any window while a spreadsheet conversion runs.
StatusScreen ConvertingStatus(const LotData& lot, int convertProgress);
void PaintStatus(PaintList& out, const StatusScreen& screen);
// The bar alone: frame (10, 50)-(410, 70), cyan part 400 * done / total wide,
// the percentage centred.
void PaintProgressBar(PaintList& out, int done, int total);

}  // namespace lotvue
