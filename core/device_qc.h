// Device QC: the scatter plot of two items and the histogram of one item,
// computed without a window. The dialog keeps one ScatterState and one
// HistogramState, runs ShowScatter / ShowHistogram on its buttons and list
// clicks, and paints the QcScene that DrawScatter / DrawHistogram describe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/cell_table.h"

namespace lotvue {

struct LotData;

// ---------------------------------------------------------------------------
// Value helpers on the 8-bit cell texts.

// ScaledValueOf: the number at the start of the text as atof reads it (0
// without one), multiplied by the factor of the first of M k m n p u met in
// the text. "1.5mV" 0.0015, "2Meg" 2e6.
double ScaledValue(std::string_view text);

// The number at the start of the text as atof reads it, prefix letters ignored.
double LeadingNumber(std::string_view text);

// Unit of a text. Changes v a f r h of `text` to upper case (on purpose:
// callers see the changed text), then looks for V, A, F, S, s, R, H in that
// order; the first one whose first occurrence lies after position 0 gives the
// rest of the text. Texts beginning with "#" have no unit. "1.5mV" -> "V".
std::string UnitSuffix(std::string& text);

// Prefix and unit of a text: the rest of the text from the first occurrence
// of p, n, u, m, k or M (looked for in this order) that lies after position 0.
// "1.5mV" -> "mV", "3.3V" -> "". Texts beginning with "#" give "".
std::string PrefixUnitSuffix(std::string_view text);

// Factor of the prefix letter a PrefixUnitSuffix text starts with (1 when it
// starts with none, as the empty text does).
double PrefixFactor(std::string_view prefixedUnit);

// "%f" of v cut to its first five characters: 0.5 "0.500", 12.345678
// "12.34", -0.25 "-0.25", 1234.5 "1234.". The cut never falls inside the
// integer part: 123456.7 keeps "123456", so the text stays the same number
// to within its last kept digit.
std::string CutFive(double v);

// The text rewritten in the prefix of `unitMax` (a PrefixUnitSuffix text
// such as "mV"): the number that, written in front of unitMax, denotes the
// same quantity, ScaledValue(text) / PrefixFactor(unitMax), as CutFive,
// followed by unitMax. " 900.0uV" in "mV" gives "0.900mV"; "0.5V" gives
// "500.0mV". The ranks of the two prefixes only tell the size of the
// change; the quantity itself comes from the scaled value.
std::string InPrefixOf(std::string_view text, std::string_view unitMax);

// ---------------------------------------------------------------------------
// The lot as the dialog sees it: a copy taken when the dialog opens. The
// cell texts are shared with the report view's lot, not copied.

struct QcLot {
  CellTable deviceCells;  // title row, then one row per device: serial, bin, results
  std::vector<std::uint8_t> deviceFailed;
  int itemCount = 0;
  std::vector<std::string> itemNames;

  int devices() const;
  // Result text of device d (0-based) for item k (1-based).
  std::string_view Cell(int d, int k) const { return deviceCells.At(static_cast<std::size_t>(d) + 1, k + 1); }
  bool Failed(int d) const { return deviceFailed[static_cast<std::size_t>(d)] != 0; }
};

QcLot TakeQcLot(const LotData& lot);

// The "Item Name" column of the item lists: the name without a leading "F".
std::string ItemListName(std::string_view name);
// "<prefix><k> [<item list name>]": ItemTitle("Y-", lot, 3) = "Y-3 [VTH]".
std::string ItemTitle(std::string_view prefix, const QcLot& lot, int k);

// ---------------------------------------------------------------------------
// Outcome of a Show, as the message the dialog has to give.

enum QcRange : int { kRangeAll = 0, kRangePass = 1, kRangeManual = 2 };

enum class QcMessage {
  None,
  InvalidX,         // "Invalid", focus on the X number
  InvalidY,         // "Invalid", focus on the Y number
  InvalidItem,      // "Invalid", focus on the histogram's number
  InvalidMaxOrMin,  // scatter: the fixed text; histogram: its language text
  InvalidStep,
  ItemAllFail,
};

// ---------------------------------------------------------------------------
// Scatter.

struct ScatterState {
  // Fields the controls exchange with.
  int xItem = 1;
  int yItem = 1;
  int range = kRangeAll;
  std::string xMinEdit, xMaxEdit, yMinEdit, yMaxEdit;
  // The chart of the last Show.
  std::string xLabel, yLabel;
  std::string xMinText, xMaxText, yMinText, yMaxText;
  // Items and range of the last Show whose numbers were valid; the drawing
  // uses only these (0 = nothing shown yet).
  int shownX = 0, shownY = 0, shownRange = kRangeAll;
};

// Runs a Show on the fields. None means: repaint the scatter.
QcMessage ShowScatter(const QcLot& lot, ScatterState& s);

// ---------------------------------------------------------------------------
// Histogram.

// Labels visible at once; bars are one fewer.
inline constexpr int kVisibleLabels = 17;
// A manual step that would give more labels than this is refused as an
// invalid step (a step of 0.001 over a wide range would build millions).
inline constexpr int kMaxLabels = 10000;

struct HistogramState {
  // Fields the controls exchange with.
  int item = 1;
  int range = kRangeAll;
  std::string minEdit, maxEdit, stepEdit;
  // The histogram of the last Show.
  std::string minText, maxText;
  std::vector<std::string> binLabels;
  std::vector<double> edges;  // leading number of each label
  int labelCount = 0;
  std::vector<std::int32_t> binCounts;
  int scrollOffset = 0;
  std::string title;  // " <ID> [<Item Name>]" of the last Show whose number was valid
  // The scroll buttons.
  bool scrollVisible = false;
  bool upEnabled = true;
  bool downEnabled = true;
};

QcMessage ShowHistogram(const QcLot& lot, HistogramState& h);

// Keeps scrollOffset within 0 .. labelCount - 17 and sets the buttons'
// enabled states ("up" off at the top, "down" off at the bottom).
void ClampScroll(HistogramState& h);
// The buttons: offset by -1 (up) or +1 (down), then ClampScroll.
void ScrollHistogram(HistogramState& h, int delta);

// Counts per half-open bin [edge j, edge j + 1) of the values; edges must
// not decrease. Values outside every bin are not counted.
std::vector<std::int32_t> CountBins(const std::vector<double>& edges, const std::vector<double>& values);

// The count the longest possible bar stands for: the largest count with
// its first two digits counted up by one (37 -> 38, 123 -> 130, 1234 -> 1300, 0 -> 1).
std::int64_t FullScale(std::int64_t maxCount);

// ---------------------------------------------------------------------------
// Drawing, as a list of rectangles, frames and texts at pixel positions.
// Rectangles exclude their right and bottom edges; a frame is the one-pixel
// border just inside its rectangle.

struct QcRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const QcRect&) const = default;
};

struct QcRgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const QcRgb&) const = default;
};

inline constexpr QcRgb kQcAreaColor{200, 255, 200};
inline constexpr QcRgb kQcFieldColor{0, 255, 255};
inline constexpr QcRgb kQcBlack{0, 0, 0};
inline constexpr QcRgb kQcLabelColor{0, 0, 200};  // axis labels, histogram title, bars
inline constexpr QcRgb kQcPointColor{255, 0, 0};

enum class QcAlign { Left, Center, Right };

struct QcShape {
  enum Kind { Fill, Frame, Text } kind = Fill;
  QcRect rect;
  QcRgb color;
  QcAlign align = QcAlign::Left;  // texts: one line, centred vertically, not clipped
  std::string text;
};

struct QcScene {
  std::vector<QcShape> shapes;  // in drawing order
  // Scatter points, drawn after the shapes: each fills (x - 1, y - 1) to
  // (x + 1, y + 1), two by two pixels, in kQcPointColor.
  std::vector<std::pair<int, int>> points;
};

// The square plot field at the right of the scatter area.
QcRect ScatterField(const QcRect& area);
// Appends the scatter half to the scene.
void DrawScatter(const QcLot& lot, const ScatterState& s, const QcRect& area, QcScene& scene);

// The bar field of the histogram area.
QcRect HistogramField(const QcRect& area);
// Appends the histogram half to the scene.
void DrawHistogram(const HistogramState& h, const QcRect& area, QcScene& scene);

}  // namespace lotvue
