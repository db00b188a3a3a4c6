// CellSpool: where the cell records of all sheets wait until the book is
// closed. They go to one unnamed temporary file beside the output, in
// chunks tagged with their sheet, so memory stays small however many cells
// a book has; closing copies each sheet's chunks, in order, into the book.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavo_xls {

class CellSpool {
 public:
  CellSpool() = default;
  ~CellSpool();
  CellSpool(const CellSpool&) = delete;
  CellSpool& operator=(const CellSpool&) = delete;

  // Creates the temporary file in folder (with a trailing "/"); false when
  // no file can be made there.
  bool Open(const std::string& folder, int sheets);

  // Appends bytes of a sheet's records (kept in a buffer until it fills or
  // the sheet changes).
  void Append(int sheet, const std::uint8_t* data, std::size_t size) {
    if (sheet != bufferSheet_ || buffer_.size() + size > buffer_.capacity()) Switch(sheet);
    buffer_.insert(buffer_.end(), data, data + size);
  }
  bool Flush();

  std::uint64_t SheetBytes(int sheet) const { return sheetBytes_[static_cast<std::size_t>(sheet)]; }
  struct Chunk {
    std::uint64_t offset;
    std::uint64_t size;
  };
  const std::vector<Chunk>& SheetChunks(int sheet) const { return chunks_[static_cast<std::size_t>(sheet)]; }
  int fd() const { return fd_; }
  int error() const { return error_; }  // errno of the first failed write, 0 when none

 private:
  void Switch(int sheet);

  int fd_ = -1;
  std::uint64_t fileSize_ = 0;
  int bufferSheet_ = -1;
  std::vector<std::uint8_t> buffer_;
  std::vector<std::vector<Chunk>> chunks_;
  std::vector<std::uint64_t> sheetBytes_;
  int error_ = 0;
};

}  // namespace tavo_xls
