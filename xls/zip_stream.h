// ZipStream: a ZIP archive written front to back onto a file descriptor,
// one deflated entry at a time and without ever seeking back. The local
// header of an entry says "sizes follow" (flag bit 3); a data descriptor
// after the data gives its CRC-32 and sizes, and the central directory at
// the end repeats them. ZIP64 forms appear only where they are needed: a
// data descriptor with 8-byte sizes and a ZIP64 extra field in the central
// directory for an entry whose sizes or offset pass the 32-bit limit, and
// the ZIP64 end records when the central directory itself starts or ends
// beyond it. The limit is a parameter so that tests can reach these forms
// with small archives. The data is compressed in chunks on worker threads
// (DeflatePool) while the caller goes on; the archive is written in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xls/deflate_pool.h"

namespace lotvue_xlsx {

class ZipStream {
 public:
  // Largest size or offset the 32-bit fields can hold.
  static constexpr std::uint64_t kZip32Limit = 0xFFFFFFFFu;

  // Writes to fd (left open). level: zlib's compression level; threads:
  // compressing workers (-1: one per processor, at most 4).
  explicit ZipStream(int fd, int level = 1, std::uint64_t zip64Limit = kZip32Limit, int threads = -1);
  ZipStream(const ZipStream&) = delete;
  ZipStream& operator=(const ZipStream&) = delete;

  // Starts an entry (ends the one before). Names are stored as given (UTF-8).
  bool BeginEntry(std::string_view name);
  // The entry's uncompressed bytes.
  bool Write(const void* data, std::size_t size);
  // The same without a copy: room for n more bytes of the entry, then
  // Commit with the end of those written.
  unsigned char* Room(std::size_t n);
  void Commit(const unsigned char* end);
  bool EndEntry();
  // Ends the last entry and writes the central directory; nothing may follow.
  bool Finish();

  bool failed() const { return error_ != 0; }
  // errno of the first failure (EIO for a compression fault), else 0.
  int error() const { return error_; }
  std::uint64_t bytesWritten() const { return offset_; }

 private:
  struct Entry {
    std::string name;
    std::uint32_t crc = 0;
    std::uint64_t compressed = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;  // of its local header
  };

  DeflateChunk& Filling();
  // Hands the chunk being filled to the workers.
  void Submit(bool last);
  // The same for a full chunk, retiring chunks while too many are in flight.
  void SubmitFull();
  // Writes out the oldest chunk in flight once it is compressed.
  bool Retire();
  bool Put(const void* data, std::size_t size);  // compressed bytes and headers, buffered
  bool FlushOut();
  bool Fail(int error);
  bool Big(std::uint64_t v) const { return v > limit_; }
  void WriteCentralEntry(std::string& out, const Entry& e) const;

  int fd_;
  std::uint64_t limit_;
  bool inEntry_ = false;
  bool finished_ = false;
  int error_ = 0;
  std::uint64_t offset_ = 0;  // bytes of the archive so far, buffered ones included
  Entry current_;
  std::vector<Entry> entries_;
  std::vector<unsigned char> out_;  // bytes waiting for write(2)
  std::size_t maxInFlight_;
  std::unique_ptr<DeflateChunk> filling_;               // the entry's data being gathered
  std::vector<unsigned char> tail_;                     // its last 32 KB before filling_
  std::deque<std::unique_ptr<DeflateChunk>> inFlight_;  // submitted, in stream order
  std::vector<std::unique_ptr<DeflateChunk>> spare_;
  DeflatePool pool_;  // last: its workers stop before the chunks go
};

}  // namespace lotvue_xlsx
