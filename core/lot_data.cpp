#include "core/lot_data.h"

#include <type_traits>

namespace lotvue {

LotData LoadingLot;

void LotData::Reset() {
  static_cast<LotContent&>(*this) = LotContent{};
  recordsRead = 0;
  deviceCount = 0;
  itemCount = 0;
  loadState = kIdle;
  statisticsDone = 0;
}

void LotData::CopyFrom(const LotData& other) {
  static_cast<LotContent&>(*this) = other;
  recordsRead = 0;
  statisticsDone = 0;
  deviceCount = other.devices();
  itemCount = other.items();
}

namespace {

// Heap bytes of one field (strings count beyond their in-place buffer).
std::size_t HeapBytes(std::int32_t) { return 0; }
std::size_t HeapBytes(std::uint64_t) { return 0; }
std::size_t HeapBytes(const std::string& s) { return s.capacity() > 15 ? s.capacity() + 1 : 0; }
std::size_t HeapBytes(const CellTable& t) { return t.MemoryBytes(); }
template <typename T>
std::size_t HeapBytes(const std::vector<T>& v) {
  std::size_t bytes = v.capacity() * sizeof(T);
  if constexpr (std::is_same_v<T, std::string>) {
    for (const std::string& s : v) bytes += HeapBytes(s);
  }
  return bytes;
}

template <typename... Fields>
std::size_t SumHeapBytes(const Fields&... fields) {
  return (HeapBytes(fields) + ...);
}

}  // namespace

std::size_t LotData::MemoryBytes() const {
  // One name per field of LotContent: a field added there breaks this line
  // until it is named, and its type until HeapBytes knows it.
  const auto& [a, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p, q, r, s, t] = static_cast<const LotContent&>(*this);
  return sizeof(LotData) + SumHeapBytes(a, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p, q, r, s, t);
}

}  // namespace lotvue
