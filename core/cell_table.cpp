#include "core/cell_table.h"

#include <algorithm>
#include <cstring>

namespace lotvue {

namespace {
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
}

void CellTable::Reset(std::size_t width) {
  width_ = width;
  data_.reset();
}

std::string_view CellTable::At(std::size_t row, std::size_t col) const {
  const Data& d = *data_;
  const std::size_t index = row * width_ + col;
  const std::uint32_t begin = col == 0 ? 0 : d.cellEnd[index - 1];
  return {d.rowStart[row] + begin, d.cellEnd[index] - begin};
}

CellTable::Data& CellTable::Mutable() {
  if (!data_) {
    data_ = std::make_shared<Data>();
  } else if (data_.use_count() > 1) {
    // Another copy shares the data: rebuild our own, rows packed afresh.
    auto copy = std::make_shared<Data>();
    const Data& old = *data_;
    copy->cellEnd = old.cellEnd;
    copy->colors = old.colors;
    copy->pending = old.pending;
    copy->pendingEnd = old.pendingEnd;
    copy->pendingColors = old.pendingColors;
    copy->rowStart.reserve(old.rowStart.size());
    for (std::size_t r = 0; r < old.rowStart.size(); ++r) {
      const std::size_t len = width_ == 0 ? 0 : old.cellEnd[(r + 1) * width_ - 1];
      copy->pending.assign(old.rowStart[r], old.rowStart[r] + len);
      copy->rowStart.push_back(StoreRow(*copy));
    }
    copy->pending = old.pending;
    data_ = std::move(copy);
  }
  return *data_;
}

const char* CellTable::StoreRow(Data& d) {
  const std::size_t len = d.pending.size();
  if (d.blocks.empty() || d.blocks.back().capacity - d.blocks.back().used < len) {
    Block b;
    b.capacity = std::max(len, kBlockBytes);
    b.bytes.reset(new char[b.capacity]);
    d.blocks.push_back(std::move(b));
  }
  Block& b = d.blocks.back();
  char* dst = b.bytes.get() + b.used;
  if (len) std::memcpy(dst, d.pending.data(), len);
  b.used += len;
  d.textBytes += len;
  return dst;
}

void CellTable::AddCell(std::string_view text, CellColor color) {
  Data& d = Mutable();
  d.pending.insert(d.pending.end(), text.begin(), text.end());
  d.pendingEnd.push_back(static_cast<std::uint32_t>(d.pending.size()));
  d.pendingColors.push_back(static_cast<std::uint8_t>(color));
}

void CellTable::EndRow() {
  Data& d = Mutable();
  d.rowStart.push_back(StoreRow(d));
  d.cellEnd.insert(d.cellEnd.end(), d.pendingEnd.begin(), d.pendingEnd.end());
  d.colors.insert(d.colors.end(), d.pendingColors.begin(), d.pendingColors.end());
  d.pending.clear();
  d.pendingEnd.clear();
  d.pendingColors.clear();
}

void CellTable::ReserveRows(std::size_t rows, std::size_t textBytesPerRow) {
  Data& d = Mutable();
  d.rowStart.reserve(d.rowStart.size() + rows);
  d.cellEnd.reserve(d.cellEnd.size() + rows * width_);
  d.colors.reserve(d.colors.size() + rows * width_);
  d.blocks.reserve(d.blocks.size() + rows * textBytesPerRow / kBlockBytes + 1);
}

std::size_t CellTable::MemoryBytes() const {
  if (!data_) return 0;
  const Data& d = *data_;
  std::size_t bytes = sizeof(Data);
  for (const Block& b : d.blocks) bytes += b.capacity;
  bytes += d.rowStart.capacity() * sizeof(const char*);
  bytes += d.cellEnd.capacity() * sizeof(std::uint32_t);
  bytes += d.colors.capacity();
  return bytes;
}

}  // namespace lotvue
