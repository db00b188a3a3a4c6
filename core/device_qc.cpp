#include "core/device_qc.h"

#include <algorithm>
#include <cmath>

#include "core/lot_data.h"
#include "core/number_text.h"
#include "core/value_text.h"

namespace lotvue {

// ---------------------------------------------------------------------------
// Value helpers

namespace {

// The rest of the text from the first occurrence of `c`, when that lies after position 0.
bool SuffixFrom(std::string_view text, char c, std::string& out) {
  const std::size_t pos = text.find(c);
  if (pos == std::string_view::npos || pos == 0) return false;
  out.assign(text.substr(pos));
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

void Trim(std::string& s) {
  std::size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  std::size_t e = s.size();
  while (e > b && IsBlank(s[e - 1])) --e;
  s = s.substr(b, e - b);
}

}  // namespace

double LeadingNumber(std::string_view text) { return AtofC(text); }

double ScaledValue(std::string_view text) { return ScaledValueOf(text); }

std::string UnitSuffix(std::string& text) {
  if (!text.empty() && text[0] == '#') return {};
  for (char& c : text) {
    if (c == 'v' || c == 'a' || c == 'f' || c == 'r' || c == 'h') c = static_cast<char>(c - 'a' + 'A');
  }
  std::string out;
  for (char c : {'V', 'A', 'F', 'S', 's', 'R', 'H'}) {
    if (SuffixFrom(text, c, out)) return out;
  }
  // "HZ" would only be found where "H" already was.
  return {};
}

std::string PrefixUnitSuffix(std::string_view text) {
  if (!text.empty() && text[0] == '#') return {};
  std::string out;
  for (char c : {'p', 'n', 'u', 'm', 'k', 'M'}) {
    if (SuffixFrom(text, c, out)) return out;
  }
  return {};
}

double PrefixFactor(std::string_view prefixedUnit) {
  const double f = prefixedUnit.empty() ? 0.0 : SiPrefixFactor(prefixedUnit[0]);
  return f != 0.0 ? f : 1.0;
}

std::string CutFive(double v) {
  std::string t = FixedText(v, 6);
  std::size_t keep = 5;
  const std::size_t point = t.find('.');
  if (point != std::string::npos && point > keep) keep = point;
  if (t.size() > keep) t.resize(keep);
  return t;
}

std::string InPrefixOf(std::string_view text, std::string_view unitMax) {
  // The quantity in base units, expressed in the prefix of the maximum.
  std::string out = CutFive(ScaledValue(text) / PrefixFactor(unitMax));
  out.append(unitMax);
  return out;
}

// ---------------------------------------------------------------------------
// The lot

int QcLot::devices() const {
  if (itemCount < 0 || deviceCells.width() < static_cast<std::size_t>(itemCount) + 2) return 0;
  const std::size_t rows = deviceCells.rows();
  const std::size_t n = std::min(deviceFailed.size(), rows > 0 ? rows - 1 : 0);
  return static_cast<int>(n);
}

QcLot TakeQcLot(const LotData& lot) {
  QcLot q;
  q.deviceCells = lot.deviceCells;  // shares the texts
  q.deviceFailed = lot.deviceFailed;
  q.itemCount = lot.items();
  q.itemNames = lot.itemNames;
  return q;
}

std::string ItemListName(std::string_view name) {
  if (!name.empty() && name[0] == 'F') name.remove_prefix(1);
  return std::string(name);
}

std::string ItemTitle(std::string_view prefix, const QcLot& lot, int k) {
  std::string t(prefix);
  t += IntText(k);
  t += " [";
  if (k >= 1 && static_cast<std::size_t>(k) <= lot.itemNames.size()) t += ItemListName(lot.itemNames[k - 1]);
  t += ']';
  return t;
}

// ---------------------------------------------------------------------------
// Scatter

namespace {

struct Extremes {
  bool taken = false;
  double min = 0, max = 0;
  std::string_view minText, maxText;

  void Take(std::string_view cell) {
    const double v = ScaledValue(cell);
    if (!taken || v < min) {
      min = v;
      minText = cell;
    }
    if (!taken || v > max) {
      max = v;
      maxText = cell;
    }
    taken = true;
  }
};

// Manual ends of one axis over the ends the data gave; an edit without a
// unit borrows the one of the data.
void ApplyManualAxis(std::string& maxEdit, std::string& minEdit, std::string& maxText, std::string& minText) {
  std::string suffix;
  if (UnitSuffix(maxEdit).empty()) {
    suffix = UnitSuffix(maxText);
    if (suffix.empty()) suffix = UnitSuffix(minText);
  }
  if (!maxEdit.empty()) maxText = maxEdit + suffix;
  if (!UnitSuffix(minEdit).empty()) suffix.clear();
  if (!minEdit.empty()) minText = minEdit + suffix;
}

}  // namespace

QcMessage ShowScatter(const QcLot& lot, ScatterState& s) {
  if (s.xItem < 1 || s.xItem > lot.itemCount) return QcMessage::InvalidX;
  if (s.yItem < 1 || s.yItem > lot.itemCount) return QcMessage::InvalidY;
  s.shownX = s.xItem;
  s.shownY = s.yItem;
  s.shownRange = s.range;
  s.yLabel = ItemTitle("Y-", lot, s.yItem);
  s.xLabel = ItemTitle("X-", lot, s.xItem);

  Extremes x, y;
  const bool passOnly = s.range == kRangePass;
  const int n = lot.devices();
  for (int d = 0; d < n; ++d) {
    if (passOnly && lot.Failed(d)) continue;
    x.Take(lot.Cell(d, s.xItem));
    y.Take(lot.Cell(d, s.yItem));
  }
  s.xMinText.assign(x.minText);
  s.xMaxText.assign(x.maxText);
  s.yMinText.assign(y.minText);
  s.yMaxText.assign(y.maxText);

  if (s.range == kRangeManual) {
    ApplyManualAxis(s.xMaxEdit, s.xMinEdit, s.xMaxText, s.xMinText);
    ApplyManualAxis(s.yMaxEdit, s.yMinEdit, s.yMaxText, s.yMinText);
    if (!(ScaledValue(s.xMinText) < ScaledValue(s.xMaxText)) || !(ScaledValue(s.yMinText) < ScaledValue(s.yMaxText)))
      return QcMessage::InvalidMaxOrMin;
  }
  if (s.xMinText.empty() && s.xMaxText.empty() && s.yMinText.empty() && s.yMaxText.empty())
    return QcMessage::ItemAllFail;
  return QcMessage::None;
}

// ---------------------------------------------------------------------------
// Histogram

void ClampScroll(HistogramState& h) {
  if (h.scrollOffset < 1) {
    h.scrollOffset = 0;
    h.upEnabled = false;
  } else {
    h.upEnabled = true;
  }
  if (h.scrollOffset >= h.labelCount - kVisibleLabels) {
    h.scrollOffset = h.labelCount - kVisibleLabels;
    h.downEnabled = false;
  } else {
    h.downEnabled = true;
  }
}

void ScrollHistogram(HistogramState& h, int delta) {
  h.scrollOffset += delta;
  ClampScroll(h);
}

std::vector<std::int32_t> CountBins(const std::vector<double>& edges, const std::vector<double>& values) {
  const std::size_t bins = edges.size() > 1 ? edges.size() - 1 : 0;
  std::vector<std::int32_t> counts(bins, 0);
  if (bins == 0) return counts;
  if (std::is_sorted(edges.begin(), edges.end())) {
    // Non-decreasing edges: a value lies in at most one bin, the last one
    // whose lower edge it reaches.
    for (double v : values) {
      const auto it = std::upper_bound(edges.begin(), edges.end(), v);
      if (it == edges.begin() || it == edges.end()) continue;
      ++counts[static_cast<std::size_t>(it - edges.begin()) - 1];
    }
  } else {
    for (double v : values)
      for (std::size_t j = 0; j < bins; ++j)
        if (edges[j] <= v && v < edges[j + 1]) ++counts[j];
  }
  return counts;
}

std::int64_t FullScale(std::int64_t maxCount) {
  const std::int64_t m = std::max<std::int64_t>(maxCount, 0);
  int digits = 1;
  for (std::int64_t t = m; t >= 10; t /= 10) ++digits;
  std::int64_t unit = 1;
  for (int i = 2; i < digits; ++i) unit *= 10;
  return (m / unit + 1) * unit;
}

QcMessage ShowHistogram(const QcLot& lot, HistogramState& h) {
  if (h.item < 1 || h.item > lot.itemCount) return QcMessage::InvalidItem;
  h.title = ItemTitle(" ", lot, h.item);
  h.minText.clear();
  h.maxText.clear();
  h.edges.clear();
  h.binLabels.clear();

  const bool passOnly = h.range == kRangePass;
  const int n = lot.devices();
  Extremes e;
  for (int d = 0; d < n; ++d) {
    if (passOnly && lot.Failed(d)) continue;
    e.Take(lot.Cell(d, h.item));
  }
  h.minText.assign(e.minText);
  h.maxText.assign(e.maxText);

  // Not const: UnitSuffix below upper-cases a unit letter of it (v a f r h)
  // in place, and the labels carry it that way.
  std::string unitMax = PrefixUnitSuffix(h.maxText);
  if (PrefixUnitSuffix(h.minText) != unitMax) h.minText = InPrefixOf(h.minText, unitMax);
  const std::string unitBase = UnitSuffix(unitMax);

  double minV = 0, step = 0;
  int labelCount = kVisibleLabels;
  bool badCount = false;
  const bool manual = h.range == kRangeManual;
  if (manual) {
    // Manual limits replace the data's ends; they keep the number typed and
    // borrow only the unit.
    Trim(h.minEdit);
    Trim(h.maxEdit);
    Trim(h.stepEdit);
    if (!h.minEdit.empty()) h.minText = h.minEdit;
    if (!h.maxEdit.empty()) h.maxText = h.maxEdit;
    if (UnitSuffix(h.minText).empty()) h.minText += unitBase;
    if (UnitSuffix(h.maxText).empty()) h.maxText += unitBase;
  }
  if (!manual || h.stepEdit.empty()) {
    minV = LeadingNumber(h.minText);
    step = (LeadingNumber(h.maxText) - minV) / 15;
    h.labelCount = kVisibleLabels;
    h.scrollVisible = false;
    h.scrollOffset = 0;
  } else {
    if (UnitSuffix(h.stepEdit).empty()) h.stepEdit += unitBase;
    minV = LeadingNumber(h.minText);
    std::string stepText = h.stepEdit;
    if (PrefixUnitSuffix(stepText) != unitMax) {
      // Only a step in the unit of the maximum can be brought to its prefix.
      std::string stepUnit = stepText;
      if (unitBase.empty() || UnitSuffix(stepUnit) == unitBase) stepText = InPrefixOf(stepText, unitMax);
    }
    if (PrefixUnitSuffix(stepText) != unitMax) return QcMessage::InvalidStep;
    step = LeadingNumber(stepText);
    if (step == 0) return QcMessage::InvalidStep;
    const double count = std::trunc((LeadingNumber(h.maxText) - minV) / step) + 3;
    if (count >= 2 && count <= kMaxLabels) {
      labelCount = static_cast<int>(count);
      h.labelCount = labelCount;
      if (labelCount > kVisibleLabels) {
        h.scrollVisible = true;
        ClampScroll(h);
      } else {
        h.scrollVisible = false;
        h.scrollOffset = 0;
      }
    } else {
      // A step of the wrong sign (fewer than two labels) or far too fine.
      badCount = true;
    }
  }
  if (manual && !(ScaledValue(h.maxText) > ScaledValue(h.minText)))
    return QcMessage::InvalidMaxOrMin;
  if (badCount) return QcMessage::InvalidStep;

  h.binLabels.reserve(static_cast<std::size_t>(labelCount));
  h.edges.reserve(static_cast<std::size_t>(labelCount));
  for (int k = 0; k < labelCount; ++k) {
    std::string label = CutFive(k * step + minV);
    label += unitMax;
    h.edges.push_back(LeadingNumber(label));
    h.binLabels.push_back(std::move(label));
  }
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(n));
  for (int d = 0; d < n; ++d) {
    if (passOnly && lot.Failed(d)) continue;
    values.push_back(LeadingNumber(lot.Cell(d, h.item)));
  }
  h.binCounts = CountBins(h.edges, values);
  return QcMessage::None;
}

// ---------------------------------------------------------------------------
// Drawing

namespace {

void Fill(QcScene& sc, const QcRect& r, QcRgb c) { sc.shapes.push_back({QcShape::Fill, r, c, QcAlign::Left, {}}); }
void Frame(QcScene& sc, const QcRect& r, QcRgb c) { sc.shapes.push_back({QcShape::Frame, r, c, QcAlign::Left, {}}); }
void Text(QcScene& sc, const QcRect& r, QcRgb c, QcAlign a, std::string t) {
  sc.shapes.push_back({QcShape::Text, r, c, a, std::move(t)});
}

}  // namespace

QcRect ScatterField(const QcRect& area) {
  QcRect f;
  f.right = area.right - 5;
  f.top = area.top + 5;
  f.bottom = area.bottom - 35;
  f.left = f.right - (f.bottom - f.top);
  return f;
}

void DrawScatter(const QcLot& lot, const ScatterState& s, const QcRect& area, QcScene& sc) {
  Fill(sc, area, kQcAreaColor);
  Frame(sc, area, kQcBlack);
  const QcRect f = ScatterField(area);
  Fill(sc, f, kQcFieldColor);
  Frame(sc, f, kQcBlack);
  if (s.xMinText.empty() || s.xMaxText.empty() || s.yMinText.empty() || s.yMaxText.empty()) return;

  const int m = f.top + (f.bottom - f.top) / 2;
  Text(sc, {area.left, f.top, f.left - 10, f.top + 20}, kQcBlack, QcAlign::Right, s.yMaxText);
  Text(sc, {area.left, m - 10, f.left - 10, m + 10}, kQcLabelColor, QcAlign::Right, s.yLabel);
  Text(sc, {area.left, f.bottom - 30, f.left - 10, f.bottom - 10}, kQcBlack, QcAlign::Right, s.yMinText);
  const QcRect xRow{f.left, f.bottom + 10, f.right, f.bottom + 30};
  Text(sc, xRow, kQcBlack, QcAlign::Left, s.xMinText);
  Text(sc, xRow, kQcLabelColor, QcAlign::Center, s.xLabel);
  Text(sc, xRow, kQcBlack, QcAlign::Right, s.xMaxText);

  // Only items of a Show that passed the number check index the cells.
  if (s.shownX < 1 || s.shownX > lot.itemCount || s.shownY < 1 || s.shownY > lot.itemCount) return;
  const double xMin = ScaledValue(s.xMinText);
  const double xSpan = ScaledValue(s.xMaxText) - xMin;
  const double yMin = ScaledValue(s.yMinText);
  const double ySpan = ScaledValue(s.yMaxText) - yMin;
  const double w = f.width();
  const double hgt = f.height();
  const bool passOnly = s.shownRange == kRangePass;
  const int n = lot.devices();
  for (int d = 0; d < n; ++d) {
    if (passOnly && lot.Failed(d)) continue;
    // Truncated toward zero; a span of 0 gives no finite position.
    const double px = std::trunc((ScaledValue(lot.Cell(d, s.shownX)) - xMin) * w / xSpan + f.left);
    const double py = std::trunc(f.bottom - (ScaledValue(lot.Cell(d, s.shownY)) - yMin) * hgt / ySpan);
    if (px > f.left && px < f.right && py > f.top && py < f.bottom)
      sc.points.emplace_back(static_cast<int>(px), static_cast<int>(py));
  }
}

QcRect HistogramField(const QcRect& area) {
  return {area.left + 110, area.top + 5, area.right - 5, area.bottom - 5};
}

void DrawHistogram(const HistogramState& h, const QcRect& area, QcScene& sc) {
  Fill(sc, area, kQcAreaColor);
  Frame(sc, area, kQcBlack);
  const QcRect field = HistogramField(area);
  Fill(sc, field, kQcFieldColor);
  Frame(sc, field, kQcBlack);
  if (h.binLabels.empty()) return;

  const int rowH = (area.bottom - area.top) / 19;
  const std::int64_t barMax = (area.right - area.left) - 200;
  Text(sc, {area.left, area.top, area.left + 100, area.top + rowH}, kQcLabelColor, QcAlign::Left, h.title);

  const int labels = std::min<int>(h.labelCount, static_cast<int>(h.binLabels.size()));
  for (int k = std::max(h.scrollOffset, 0); k < labels && k <= h.scrollOffset + kVisibleLabels - 1; ++k) {
    const int y = area.top + (k - h.scrollOffset + 2) * rowH;
    Text(sc, {area.left, y, area.left + 100, y + rowH}, kQcBlack, QcAlign::Right, h.binLabels[k]);
  }

  std::int32_t most = 0;
  for (std::int32_t c : h.binCounts) most = std::max(most, c);
  const std::int64_t full = FullScale(most);
  const int bars = std::min<int>(labels - 1, static_cast<int>(h.binCounts.size()));
  const int left = area.left + 110;
  for (int k = std::max(h.scrollOffset, 0); k < bars && k <= h.scrollOffset + kVisibleLabels - 2; ++k) {
    const std::int32_t count = h.binCounts[k];
    std::int64_t w = count * barMax / full;
    if (w < 2) w = count > 0 ? 2 : 0;
    const int top = area.top + (k - h.scrollOffset + 2) * rowH + rowH / 2;
    const int bottom = top + rowH - 5;
    const int wi = static_cast<int>(w);
    if (wi > 0) {
      Fill(sc, {left, top, left + wi, bottom}, kQcLabelColor);
      Frame(sc, {left, top, left + wi, bottom}, kQcBlack);
    }
    Text(sc, {left + wi + 10, top, left + wi + 110, bottom}, kQcBlack, QcAlign::Left, IntText(count));
  }
}

}  // namespace lotvue
