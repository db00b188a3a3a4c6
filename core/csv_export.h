// The CSV file of a conversion: its name, its exact layout and the three
// number formats, and ReplacingWriter, the buffered output that puts a new
// file in place of the old one only once it has been written completely.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "core/lot_data.h"

namespace lotvue {

// How value cells of device rows are written (the CSVFormat setting).
enum class CsvFormat { kData, kScientific, kValue };

// 1 = Scientific, 2 = Value, every other setting = Data.
constexpr CsvFormat CsvFormatOf(std::int32_t setting) {
  return setting == 1 ? CsvFormat::kScientific : setting == 2 ? CsvFormat::kValue : CsvFormat::kData;
}

// The lot's path without its last three characters, followed by "CSV".
std::string CsvPathOf(const std::string& lotPath);

// Half-open range of device-cell indexes [firstCell, endCell).
struct CellRange {
  std::size_t firstCell = 0;
  std::size_t endCell = 0;
};

// firstDevice and lastDevice are 1-based device rows, both inclusive; both
// negative select the whole table, title row included. The end is kept
// within the table.
CellRange DeviceCellRange(const LotData& lot, int firstDevice, int lastDevice);

// Number of devices as the device table holds them (rows less the title row).
int DeviceRowCount(const LotData& lot);

// Streams bytes through a large buffer into a temporary file beside the
// target (or into a string), and renames it over the target in Finish.
// Not for use by more than one thread.
// Until then an existing file stays as it was; a writer destroyed without
// a successful Finish removes its temporary file.
class ReplacingWriter {
 public:
  static constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

  ReplacingWriter();
  // Collects the bytes in *memory instead of a file (tests, previews).
  explicit ReplacingWriter(std::string* memory);
  ~ReplacingWriter();
  ReplacingWriter(const ReplacingWriter&) = delete;
  ReplacingWriter& operator=(const ReplacingWriter&) = delete;

  // False when the target cannot be written: its folder does not exist or
  // refuses new files, or it exists and is a folder or is read-only (no
  // write permission bit, which holds for every user, root included).
  bool Open(const std::string& path);

  void Put(std::string_view bytes) {
    if (bytes.size() <= capacity_ - used_) {
      if (!bytes.empty()) std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
      used_ += bytes.size();
    } else {
      PutSlow(bytes);
    }
  }
  void Put(char c) {
    if (used_ == capacity_) Drain();
    buffer_[used_++] = c;
  }
  // Text followed by one separator byte, the commonest step of a CSV file.
  void PutCell(std::string_view text, char separator) {
    if (text.size() < capacity_ - used_) {
      if (!text.empty()) std::memcpy(buffer_.get() + used_, text.data(), text.size());
      used_ += text.size();
      buffer_[used_++] = separator;
    } else {
      PutSlow(text);
      Put(separator);
    }
  }
  void PutLineEnd() { Put(std::string_view("\r\n", 2)); }
  // At least n (at most kBufferBytes) free bytes to format into; Advance(k)
  // then keeps the first k of them.
  char* Room(std::size_t n) {
    if (capacity_ - used_ < n) Drain();
    return buffer_.get() + used_;
  }
  void Advance(std::size_t n) { used_ += n; }

  // Writes what is left, closes the temporary file and renames it over the
  // target. False when any write failed; the target is then unchanged and
  // the temporary file is gone.
  bool Finish();

 private:
  void PutSlow(std::string_view bytes);
  void Drain();
  void Discard();

  // Files past the first buffer are written by a thread of their own, one
  // buffer behind, while the next buffer fills.
  struct BackgroundWrite;

  std::unique_ptr<char[]> buffer_;
  std::unique_ptr<char[]> spare_;
  std::unique_ptr<BackgroundWrite> background_;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
  std::string* memory_ = nullptr;
  int fd_ = -1;
  bool failed_ = false;
  std::string target_;
  std::string temp_;
};

// Writes the CSV layout of the lot for the device cells [firstCell, endCell):
// title line, lot summary, an empty line, the item table without its row 6,
// the device title row when the range starts after it, then the device cells.
void WriteCsv(const LotData& lot, std::size_t firstCell, std::size_t endCell, CsvFormat format, ReplacingWriter& out);

// The CSV bytes in memory.
std::string CsvText(const LotData& lot, std::size_t firstCell, std::size_t endCell, CsvFormat format);

// Writes the CSV file at path by way of a temporary file; false (nothing
// changed) when it cannot be written.
bool WriteCsvFile(const std::string& path, const LotData& lot, std::size_t firstCell, std::size_t endCell,
                  CsvFormat format);

}  // namespace lotvue
