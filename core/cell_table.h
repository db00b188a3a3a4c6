// CellTable: a row-major table of short texts with one colour each, stored
// compactly (row texts packed into shared byte blocks, offsets per cell)
// so that lots of millions of cells load and copy cheaply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace lotvue {

// Windows COLORREF values (0x00BBGGRR), the form every colour of the lot takes.
using ColorRef = std::uint32_t;
inline constexpr ColorRef kBlack = 0x00000000;
inline constexpr ColorRef kRed = 0x000000FF;
inline constexpr ColorRef kMagenta = 0x00FF00FF;
inline constexpr ColorRef kBlue = 0x00C80000;

// The four text colours a cell can have, held as one byte per cell.
enum class CellColor : std::uint8_t { Black = 0, Red = 1, Magenta = 2, Blue = 3 };

constexpr ColorRef ToColorRef(CellColor c) {
  constexpr ColorRef table[4] = {kBlack, kRed, kMagenta, kBlue};
  return table[static_cast<unsigned>(c) & 3u];
}

class CellTable {
 public:
  CellTable() = default;
  explicit CellTable(std::size_t width) { Reset(width); }
  // Copies share the texts; whichever side appends next takes its own.
  CellTable(const CellTable& o) : width_(o.width_), data_(o.data_) { o.building_ = nullptr; }
  CellTable& operator=(const CellTable& o) {
    if (this != &o) {
      width_ = o.width_;
      data_ = o.data_;
      building_ = nullptr;
      o.building_ = nullptr;
    }
    return *this;
  }
  CellTable(CellTable&& o) noexcept : width_(o.width_), data_(std::move(o.data_)), building_(o.building_) {
    o.building_ = nullptr;
  }
  CellTable& operator=(CellTable&& o) noexcept {
    width_ = o.width_;
    data_ = std::move(o.data_);
    building_ = o.building_;
    o.building_ = nullptr;
    return *this;
  }

  // Empties the table and fixes its row width (number of cells per row).
  void Reset(std::size_t width);

  std::size_t width() const { return width_; }
  std::size_t rows() const { return data_ ? data_->rowStart.size() : 0; }
  // Number of cells (strings), rows() * width().
  std::size_t size() const { return rows() * width_; }
  bool empty() const { return size() == 0; }

  std::string_view At(std::size_t row, std::size_t col) const;
  CellColor ColorAt(std::size_t row, std::size_t col) const {
    return static_cast<CellColor>(data_->colors[row * width_ + col]);
  }
  // One row's cells, for loops that walk a row.
  struct RowCells {
    const char* base;
    const std::uint32_t* ends;
    std::string_view operator[](std::size_t col) const {
      const std::uint32_t begin = col == 0 ? 0 : ends[col - 1];
      return {base + begin, ends[col] - begin};
    }
  };
  RowCells Row(std::size_t row) const { return {data_->rowStart[row], data_->cellEnd.data() + row * width_}; }

  // Access by row-major cell index, as the exports and the painter count.
  std::string_view operator[](std::size_t index) const {
    return At(index / width_, index % width_);
  }
  ColorRef ColorRefAt(std::size_t index) const {
    return ToColorRef(static_cast<CellColor>(data_->colors[index]));
  }

  // Appending one row: AddCell exactly width() times, then EndRow.
  // Cells of an unfinished row are not visible.
  void AddCell(std::string_view text, CellColor color) {
    Data& d = building_ ? *building_ : StartBuilding();
    if (d.blockFree < d.rowBytes + text.size()) MoveRowToNewBlock(d, text.size());
    if (!text.empty()) std::memcpy(d.rowBase + d.rowBytes, text.data(), text.size());
    d.rowBytes += text.size();
    d.cellEnd.push_back(static_cast<std::uint32_t>(d.rowBytes));
    d.colors.push_back(static_cast<std::uint8_t>(color));
  }
  // Appending a whole row in place, for writers that format its texts
  // there: room for at most maxBytes of texts, and for the width() cells'
  // ends (counted from `text`) and colours. FinishRow then makes it a row.
  // Not while AddCell has begun a row.
  struct RowSpace {
    char* text;
    std::uint32_t* ends;
    std::uint8_t* colors;
  };
  RowSpace BeginRow(std::size_t maxBytes);
  void FinishRow();
  void EndRow();
  // Appends the rows of another table of the same width, taking its texts over.
  void Append(CellTable&& other);

  // Bytes held by the table (texts, offsets, colours and row starts).
  std::size_t MemoryBytes() const;

  // Hint for the number of rows still to come (it only reserves index space).
  void ReserveRows(std::size_t rows);

 private:
  struct Block {
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
  };
  struct Data {
    std::vector<Block> blocks;
    std::vector<const char*> rowStart;   // first byte of each finished row
    std::vector<std::uint32_t> cellEnd;  // end of each cell, relative to its row start
    std::vector<std::uint8_t> colors;    // CellColor of each cell
    // The row being built lies at rowBase in the last block, rowBytes long;
    // blockFree counts the bytes from rowBase to the end of that block.
    char* rowBase = nullptr;
    std::size_t rowBytes = 0;
    std::size_t blockFree = 0;
    std::size_t blockHint = 0;  // size of new blocks for a table expecting many rows
  };
  // Tables copy cheaply: copies share the data until one of them is changed.
  Data& Mutable();
  Data& StartBuilding() { building_ = &Mutable(); return *building_; }
  static void MoveRowToNewBlock(Data& d, std::size_t moreBytes);

  std::size_t width_ = 0;
  std::shared_ptr<Data> data_;
  mutable Data* building_ = nullptr;  // data_ while this table alone appends to it
};

}  // namespace lotvue
