#include "core/cell_table.h"

#include <algorithm>

#include "core/huge_pages.h"

namespace lotvue {

namespace {
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
}

void CellTable::Reset(std::size_t width) {
  width_ = width;
  data_.reset();
  building_ = nullptr;
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
    // Another copy shares the data: take our own, the rows packed afresh.
    const Data& old = *data_;
    auto copy = std::make_shared<Data>();
    copy->cellEnd = old.cellEnd;
    copy->colors = old.colors;
    for (std::size_t r = 0; r < old.rowStart.size(); ++r) {
      const std::size_t len = width_ == 0 ? 0 : old.cellEnd[(r + 1) * width_ - 1];
      if (copy->blockFree < len) MoveRowToNewBlock(*copy, len);
      std::memcpy(copy->rowBase, old.rowStart[r], len);
      copy->rowStart.push_back(copy->rowBase);
      copy->rowBase += len;
      copy->blockFree -= len;
    }
    const std::size_t pendingBytes = old.rowBytes;
    if (copy->blockFree < pendingBytes) MoveRowToNewBlock(*copy, pendingBytes);
    if (pendingBytes) std::memcpy(copy->rowBase, old.rowBase, pendingBytes);
    copy->rowBytes = pendingBytes;
    data_ = std::move(copy);
  }
  building_ = nullptr;
  return *data_;
}

void CellTable::MoveRowToNewBlock(Data& d, std::size_t moreBytes) {
  Block b;
  // Blocks grow from 4 KiB to 1 MiB, so that small lots stay small; a
  // table told to expect many rows takes blocks of its hint (huge pages).
  const std::size_t grown = std::min(kBlockBytes, std::size_t{4096} << std::min<std::size_t>(d.blocks.size(), 8));
  b.capacity = std::max({grown, d.blockHint, 2 * (d.rowBytes + moreBytes)});
  b.bytes.reset(new char[b.capacity]);
  AdviseHugePages(b.bytes.get(), b.capacity);
  if (d.rowBytes) std::memcpy(b.bytes.get(), d.rowBase, d.rowBytes);
  d.rowBase = b.bytes.get();
  d.blockFree = b.capacity;
  d.blocks.push_back(std::move(b));
}

CellTable::RowSpace CellTable::BeginRow(std::size_t maxBytes) {
  Data& d = building_ ? *building_ : StartBuilding();
  if (d.blockFree < maxBytes) MoveRowToNewBlock(d, maxBytes);
  const std::size_t first = d.cellEnd.size();
  d.cellEnd.resize(first + width_);
  d.colors.resize(first + width_);
  return {d.rowBase, d.cellEnd.data() + first, d.colors.data() + first};
}

void CellTable::FinishRow() {
  Data& d = *building_;
  d.rowBytes = width_ == 0 ? 0 : d.cellEnd.back();
  EndRow();
}

void CellTable::EndRow() {
  Data& d = building_ ? *building_ : StartBuilding();
  d.rowStart.push_back(d.rowBase);
  d.rowBase += d.rowBytes;
  d.blockFree -= d.rowBytes;
  d.rowBytes = 0;
}

void CellTable::Append(CellTable&& other) {
  if (other.rows() == 0) return;
  if (other.data_.use_count() > 1) {  // shared texts: copy them row by row
    for (std::size_t r = 0; r < other.rows(); ++r) {
      for (std::size_t c = 0; c < other.width(); ++c) AddCell(other.At(r, c), other.ColorAt(r, c));
      EndRow();
    }
    return;
  }
  Data& d = building_ ? *building_ : StartBuilding();
  Data& o = *other.data_;
  const std::size_t cells = o.rowStart.size() * width_;
  // The row texts stay where they are: their blocks move over whole.
  for (Block& b : o.blocks) d.blocks.push_back(std::move(b));
  d.rowStart.insert(d.rowStart.end(), o.rowStart.begin(), o.rowStart.end());
  d.cellEnd.insert(d.cellEnd.end(), o.cellEnd.begin(), o.cellEnd.begin() + static_cast<std::ptrdiff_t>(cells));
  d.colors.insert(d.colors.end(), o.colors.begin(), o.colors.begin() + static_cast<std::ptrdiff_t>(cells));
  other.Reset(other.width());
}

void CellTable::ReserveRows(std::size_t rows) {
  Data& d = building_ ? *building_ : StartBuilding();
  d.rowStart.reserve(d.rowStart.size() + rows);
  d.cellEnd.reserve(d.cellEnd.size() + rows * width_);
  d.colors.reserve(d.colors.size() + rows * width_);
  AdviseHugePages(d.rowStart.data(), d.rowStart.capacity() * sizeof(const char*));
  AdviseHugePages(d.cellEnd.data(), d.cellEnd.capacity() * sizeof(std::uint32_t));
  AdviseHugePages(d.colors.data(), d.colors.capacity());
  // About eight text bytes a cell; blocks of 8 MiB once that is worth it.
  if (rows * width_ * 8 >= (std::size_t{32} << 20)) d.blockHint = std::size_t{8} << 20;
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
