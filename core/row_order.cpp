#include "core/row_order.h"

#include "core/grid_texts.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/grid_texts.h"
#include "core/measured_value.h"
#include "core/number_text.h"

namespace lotvue {

namespace {

inline char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `text` holds `needle`, ASCII case ignored; needle is already lower case.
bool ContainsLower(std::string_view text, std::string_view needle) {
  if (needle.empty()) return true;
  if (text.size() < needle.size()) return false;
  const std::size_t last = text.size() - needle.size();
  for (std::size_t i = 0; i <= last; ++i) {
    if (Lower(text[i]) != needle[0]) continue;
    std::size_t j = 1;
    while (j < needle.size() && Lower(text[i + j]) == needle[j]) ++j;
    if (j == needle.size()) return true;
  }
  return false;
}

std::string LowerText(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

std::string_view CellOf(const LotData& lot, int device, int column) {
  return lot.deviceCells.At(static_cast<std::size_t>(device) + 1, static_cast<std::size_t>(column));
}

// The sort key of a cell with a number (a value, or a serial or bin): the
// number's bits turned so that unsigned order is numeric order.
struct SortKey {
  std::uint64_t key;
  std::uint32_t device;
};

std::uint64_t OrderedBits(double v, bool descending) {
  if (v == 0) v = 0;  // -0 sorts with 0
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  bits = (bits >> 63) ? ~bits : bits | (std::uint64_t{1} << 63);
  return descending ? ~bits : bits;
}

// Least-significant-digit radix sort by key, 16 bits a pass; stable, so
// equal keys keep the order they came in (file order). Passes whose digit
// is the same for every key are skipped.
void RadixSort(std::vector<SortKey>& keys) {
  std::vector<SortKey> other(keys.size());
  std::vector<std::uint32_t> counts(1u << 16);
  for (int shift = 0; shift < 64; shift += 16) {
    std::fill(counts.begin(), counts.end(), 0u);
    for (const SortKey& k : keys) ++counts[(k.key >> shift) & 0xFFFF];
    if (!keys.empty() && counts[(keys[0].key >> shift) & 0xFFFF] == keys.size()) continue;
    std::uint32_t sum = 0;
    for (std::uint32_t& c : counts) {
      const std::uint32_t n = c;
      c = sum;
      sum += n;
    }
    for (const SortKey& k : keys) other[counts[(k.key >> shift) & 0xFFFF]++] = k;
    keys.swap(other);
  }
}

bool MatchesPrepared(const LotData& lot, int device, const RowFilter& f, long long bin, std::string_view needle) {
  switch (f.kind) {
    case RowFilterKind::kAll:
      return true;
    case RowFilterKind::kFailed:
      return lot.deviceFailed[static_cast<std::size_t>(device)] != 0;
    case RowFilterKind::kPassed:
      return lot.deviceFailed[static_cast<std::size_t>(device)] == 0;
    case RowFilterKind::kBin:
      return NumberIn(CellOf(lot, device, kBinColumn)) == bin;
    case RowFilterKind::kContains:
      return f.column >= 0 && f.column < lot.columns() && ContainsLower(CellOf(lot, device, f.column), needle);
  }
  return false;
}

}  // namespace

long long NumberIn(std::string_view text) {
  long long v = -1;
  for (char c : text) {
    if (c < '0' || c > '9') continue;
    if (v < 0) v = 0;
    if (v < std::numeric_limits<long long>::max() / 10 - 10) v = v * 10 + (c - '0');
  }
  return v;
}

bool DeviceMatches(const LotData& lot, int device, const RowFilter& filter) {
  return MatchesPrepared(lot, device, filter, NumberIn(filter.text), LowerText(filter.text));
}

void RowOrder::Reset(int devices) {
  order_.clear();
  order_.shrink_to_fit();
  devices_ = devices;
  identity_ = true;
  sort_ = {};
  filter_ = {};
}

void RowOrder::Apply(const LotData& lot, const RowSort& sort, const RowFilter& filter) {
  devices_ = std::min(lot.devices(), static_cast<int>(lot.deviceCells.rows()) - 1);
  devices_ = std::max(devices_, 0);
  sort_ = sort;
  if (sort_.column >= lot.columns()) sort_.column = -1;
  filter_ = filter;
  const bool sorting = sort_.column >= 0;
  if (!sorting && filter_.kind == RowFilterKind::kAll) {
    order_.clear();
    order_.shrink_to_fit();
    identity_ = true;
    return;
  }
  identity_ = false;
  order_.clear();
  order_.reserve(static_cast<std::size_t>(devices_));
  const long long bin = NumberIn(filter_.text);
  const std::string needle = LowerText(filter_.text);
  for (int d = 0; d < devices_; ++d) {
    if (MatchesPrepared(lot, d, filter_, bin, needle)) order_.push_back(static_cast<std::uint32_t>(d));
  }
  if (!sorting) return;

  // Numbered cells sort by number (a stable radix sort keeps equal ones in
  // file order), the rest by (text, device).
  const int column = sort_.column;
  const bool numeric = column == kSerialColumn || column == kBinColumn;
  std::vector<SortKey> numbered;
  std::vector<std::uint32_t> texts;
  numbered.reserve(order_.size());
  for (std::uint32_t d : order_) {
    const std::string_view cell = CellOf(lot, static_cast<int>(d), column);
    if (numeric) {
      const long long n = NumberIn(cell);
      if (n >= 0) {
        numbered.push_back({OrderedBits(static_cast<double>(n), sort_.descending), d});
        continue;
      }
    } else if (const auto v = MeasuredValue(cell)) {
      numbered.push_back({OrderedBits(*v, sort_.descending), d});
      continue;
    }
    texts.push_back(d);
  }
  const bool down = sort_.descending;
  RadixSort(numbered);
  std::sort(texts.begin(), texts.end(), [&](std::uint32_t a, std::uint32_t b) {
    const std::string_view ta = CellOf(lot, static_cast<int>(a), column);
    const std::string_view tb = CellOf(lot, static_cast<int>(b), column);
    if (ta != tb) return down ? ta > tb : ta < tb;
    return a < b;
  });
  // Ascending: numbers, then texts; descending: the texts come first.
  order_.clear();
  if (down) order_.insert(order_.end(), texts.begin(), texts.end());
  for (const SortKey& k : numbered) order_.push_back(k.device);
  if (!down) order_.insert(order_.end(), texts.begin(), texts.end());
}

void RowOrder::SortByClick(const LotData& lot, int column) {
  RowSort next{column, false};
  if (sort_.column == column) next.descending = !sort_.descending;
  Apply(lot, next, filter_);
}

int RowOrder::PositionOf(int device) const {
  if (device < 0 || device >= devices_) return -1;
  if (identity_) return device;
  const auto it = std::find(order_.begin(), order_.end(), static_cast<std::uint32_t>(device));
  return it == order_.end() ? -1 : static_cast<int>(it - order_.begin());
}

int FindRow(const LotData& lot, const RowOrder& rows, int from, std::string_view text, bool forward) {
  const int n = rows.shown();
  if (n == 0 || text.empty()) return -1;
  const std::string needle = LowerText(text);
  const long long serial = NumberIn(text);
  const int columns = lot.columns();
  int pos = from < 0 ? (forward ? -1 : n) : std::min(from, n - 1);
  for (int step = 0; step < n; ++step) {
    pos = forward ? (pos + 1) % n : (pos - 1 + n) % n;
    const int device = rows.DeviceAt(pos);
    if (serial >= 0 && NumberIn(CellOf(lot, device, kSerialColumn)) == serial) return pos;
    for (int c = 0; c < columns; ++c) {
      if (ContainsLower(CellOf(lot, device, c), needle)) return pos;
    }
  }
  return -1;
}

int DeviceAtFilePosition(const LotData& lot, long long position) {
  const long long devices = static_cast<long long>(lot.deviceCells.rows()) - 1;
  return position >= 1 && position <= devices ? static_cast<int>(position - 1) : -1;
}

int DeviceWithSerial(const LotData& lot, long long serial) {
  const int devices = static_cast<int>(lot.deviceCells.rows()) - 1;
  for (int d = 0; d < devices; ++d) {
    if (NumberIn(CellOf(lot, d, kSerialColumn)) == serial) return d;
  }
  return -1;
}

namespace {

std::string Grouped(long long v) {
  const std::string digits = IntText(v);
  std::string out;
  const std::size_t lead = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (i - lead) % 3 == 0 && i >= lead) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace

namespace {

// text with %1 and %2 replaced (each once at most).
std::string Filled(std::string text, std::string_view one, std::string_view two = {}) {
  if (const auto at = text.find("%1"); at != std::string::npos) text.replace(at, 2, one);
  if (const auto at = text.find("%2"); at != std::string::npos) text.replace(at, 2, two);
  return text;
}

}  // namespace

std::string RowOrderStatus(const LotData& lot, const RowOrder& rows, int language) {
  std::string s = Filled(GridTextIn(language, kGtRowsShown), Grouped(rows.shown()), Grouped(rows.devices()));
  const int c = rows.sort().column;
  if (c >= 0 && static_cast<std::size_t>(c) < lot.deviceCells.width()) {
    s += Filled(GridTextIn(language, kGtSortedBy), lot.deviceCells.At(0, static_cast<std::size_t>(c)));
    if (rows.sort().descending) s += GridTextIn(language, kGtDescending);
  }
  return s;
}

}  // namespace lotvue
