// Reading a result file (".tsd") into a LotData: the header and item
// records, the device records with their result classes, and the load as
// a whole. Nothing above this file knows the file's byte layout.
#pragma once

#include <cstddef>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/lot_data.h"
#include "core/statistics.h"
#include "core/value_text.h"

namespace lotvue {

// What the reader has to tell the user. The desktop application shows
// message boxes (the loader waits until they are closed), the command line
// prints lines on stderr.
class ReaderEvents {
 public:
  virtual ~ReaderEvents() = default;
  // The file holds more than 256 items: show the language text "Is not TSD File".
  virtual void NotTsdFile() = 0;
  // A result mantissa above 9999: show RangeWarningText (one call per cell).
  virtual void RangeWarning(int deviceIndex, int itemIndex, int mantissa) = 0;
};

// Events that are dropped; for tools and tests that do not show them.
class SilentReaderEvents : public ReaderEvents {
 public:
  void NotTsdFile() override {}
  void RangeWarning(int, int, int) override {}
};

struct ReadOptions {
  bool avgStdOnlyPass = false;  // the AvgStdOnlyPass setting at load time
  int threads = 0;              // threads for large lots: 0 as many as pay off (at most 2)
  // Set (by another thread) to stop the load at its next chunk of records.
  const std::atomic<bool>* cancel = nullptr;
  std::size_t chunkBytes = 0;   // bytes of device records read at a time: 0 the usual 4 MiB
};

// Byte source with the reading rules of the file's C runtime: a short read
// delivers what there is and sets the end-of-file flag, and nothing is read
// again after that. Reads a file through a large buffer, or a memory block.
class ResultFileSource {
 public:
  ResultFileSource() = default;
  ~ResultFileSource();
  ResultFileSource(const ResultFileSource&) = delete;
  ResultFileSource& operator=(const ResultFileSource&) = delete;

  // False when the path, links followed, is no regular file (a folder,
  // FIFO, socket or device is never opened for reading) or cannot be opened.
  bool Open(const std::string& path);
  void OpenMemory(const void* data, std::size_t size);
  void Close();

  // Copies up to n bytes to dst; returns how many. Short reads set eof().
  std::size_t Read(void* dst, std::size_t n);
  // Bytes Read has delivered so far: the offset of the next one.
  std::uint64_t Position() const { return position_; }
  // Copies up to n bytes from offset on to dst, whatever Read has done;
  // returns how many (fewer at the end of the data or on a read error).
  std::size_t ReadAt(std::uint64_t offset, void* dst, std::size_t n);
  bool eof() const { return eof_; }
  // Size of the file when opened (0 for a memory block's own); a hint only.
  std::uint64_t SizeHint() const { return sizeHint_; }

 private:
  bool Fill();  // refills the buffer from the file; false at its end
  std::size_t ReadDirect(std::uint8_t* dst, std::size_t n);  // from the file, past the buffer

  int fd_ = -1;
  const std::uint8_t* memory_ = nullptr;  // OpenMemory's block, else the buffer
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t begin_ = 0;  // first unread byte in the current block
  std::size_t end_ = 0;    // end of the valid bytes of the current block
  bool eof_ = false;
  bool fileDone_ = false;
  std::uint64_t sizeHint_ = 0;
  std::uint64_t position_ = 0;
  std::size_t memorySize_ = 0;  // OpenMemory's block
};

// Reads the 512-byte header and the item records; false when the file is
// rejected (more than 256 items, after NotTsdFile).
bool ReadHeaderAndItems(ResultFileSource& file, LotData& lot, const ReadOptions& options, ReaderEvents& events);

// Reads the device records, a chunk (options.chunkBytes) at a time, up to a
// serial number below 1 or the end of the file (bytes past the chunk that
// holds the end are never read), completes Pass/Fail/Yield and computes the
// item statistics. Does not touch loadState. False when options.cancel was
// set (the lot is then incomplete). Throws std::bad_alloc when the lot does
// not fit in memory.
bool ReadDeviceRecords(ResultFileSource& file, LotData& lot, const ReadOptions& options, ReaderEvents& events);

// Result class code of a status byte.
int NormalizeStatus(std::uint8_t status);

// True for the error texts that the test system reports in place of a
// result and that are shown in red ("CoverOpen", "PreShort", ... "HardError":
// the texts of the status codes kept as they are, less the black ones).
bool IsRedErrorText(std::string_view text);

// What the item statistics take from the result v (its status byte and
// number) on an item of the given type, as the reader finds it without the
// cell's text: ReadCell of that text, but for the candidate text.
CellReading ResultCellReading(PackedValue v, std::uint32_t itemType);

// The text the reader makes of result v on an item of the given type and
// unit character.
std::string ResultText(PackedValue v, std::uint32_t itemType, std::uint8_t unit);
// True when, on an item of the given type, the text of every result with
// this status byte is its number's value text, alone or after one letter
// ("F", "O", "f"): what it measures is then the packed number, and whether
// it failed follows from the status byte alone. Otherwise the text is the
// same whatever the number.
bool ResultShowsNumber(std::uint8_t status, std::uint32_t itemType);

// A 64-bit fingerprint of a block of bytes (device records): records read
// again must be the ones the load read.
std::uint64_t RecordFingerprint(const std::uint8_t* p, std::size_t n);
// Reads the records of chunk c again, from offset on, into dst (room for
// c.count records of recordBytes); true when they are the bytes the load
// read (a record the end of the file cut short completed with zeros, as
// the load completed it).
bool ReadRecordsAgain(ResultFileSource& file, std::uint64_t offset, const RecordChunk& c, std::size_t recordBytes,
                      std::uint8_t* dst);

enum class LoadResult { kCannotOpen, kRejected, kLoaded, kCancelled, kNoMemory };

// The loader's whole work on lot.path: opens the file (nothing changes when
// it cannot be opened), sets loadState 1, reads header, items and records,
// runs beforeReady (the grid set-up of the newest view) and, as its very
// last write, sets loadState 2. A rejected file leaves loadState at 1 for the
// caller to settle; so do a cancelled load and one that ran out of memory,
// which keep nothing of the lot but its path.
LoadResult LoadResultFile(LotData& lot, const ReadOptions& options, ReaderEvents& events,
                          const std::function<void()>& beforeReady = {});

// "Cannot open the file: PATH" (missing, unreadable, or no regular file).
std::string CannotOpenText(const std::string& path);
// "Not enough memory to load PATH".
std::string NotEnoughMemoryText(const std::string& path);

}  // namespace lotvue
