// CellTable: a row-major table of short texts with one colour each, stored
// compactly (row texts packed into shared byte blocks, offsets per cell)
// so that lots of millions of cells load and copy cheaply.
#pragma once

#include <cstddef>
#include <cstdint>
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

  // Empties the table and fixes its row width (number of cells per row).
  void Reset(std::size_t width);

  std::size_t width() const { return width_; }
  std::size_t rows() const { return data_ ? data_->rowStart.size() : 0; }
  // Number of cells (strings), rows() * width().
  std::size_t size() const { return data_ ? data_->cellEnd.size() : 0; }
  bool empty() const { return size() == 0; }

  std::string_view At(std::size_t row, std::size_t col) const;
  CellColor ColorAt(std::size_t row, std::size_t col) const {
    return static_cast<CellColor>(data_->colors[row * width_ + col]);
  }
  // Access by row-major cell index, as the exports and the painter count.
  std::string_view operator[](std::size_t index) const {
    return At(index / width_, index % width_);
  }
  ColorRef ColorRefAt(std::size_t index) const {
    return ToColorRef(static_cast<CellColor>(data_->colors[index]));
  }

  // Appending one row: AddCell exactly width() times, then EndRow.
  // Cells of an unfinished row are not visible.
  void AddCell(std::string_view text, CellColor color);
  void EndRow();

  // Bytes held by the table (texts, offsets, colours and row starts).
  std::size_t MemoryBytes() const;

  // Hint for the number of rows still to come (it only reserves index space).
  void ReserveRows(std::size_t rows, std::size_t textBytesPerRow);

 private:
  struct Block {
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
    std::size_t used = 0;
  };
  struct Data {
    std::vector<Block> blocks;
    std::vector<const char*> rowStart;   // first byte of each finished row
    std::vector<std::uint32_t> cellEnd;  // end of each cell, relative to its row start
    std::vector<std::uint8_t> colors;    // CellColor of each cell
    std::vector<char> pending;           // texts of the row being built
    std::vector<std::uint32_t> pendingEnd;
    std::vector<std::uint8_t> pendingColors;
    std::size_t textBytes = 0;
  };
  // Tables copy cheaply: copies share the data until one of them is changed.
  Data& Mutable();
  const char* StoreRow(Data& d);

  std::size_t width_ = 0;
  std::shared_ptr<Data> data_;
};

}  // namespace lotvue
