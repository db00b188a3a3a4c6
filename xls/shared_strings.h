// SharedStrings: the workbook's shared string table (SST). Every distinct
// cell text is kept once, in its stored form, and cells refer to it by
// index; the table is written as an SST record continued by CONTINUE
// records, followed by the EXTSST lookup record.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "xls/biff_buffer.h"

namespace tavo_xls {

class SharedStrings {
 public:
  SharedStrings();

  // Index of the text whose stored form is `encoded` (flag byte, then the
  // characters: 8-bit or UTF-16LE) and whose Hash is hash, adding it when
  // it is new. A caller with many texts to look up fetches their slots
  // (Prefetch), then the entries those slots point to (PrefetchEntry), and
  // then looks them up, so that the memory they need is waited for
  // together rather than one text after another.
  std::uint32_t Intern(std::string_view encoded, std::uint32_t chars, std::uint32_t hash);
  static std::uint32_t Hash(std::string_view encoded);
  void Prefetch(std::uint32_t hash) const { __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]); }
  void PrefetchEntry(std::uint32_t hash) const;

  std::uint32_t unique() const { return count_; }
  // Cells referring to the table (the SST record's total count).
  void AddReference() { ++references_; }
  std::uint64_t references() const { return references_; }

  // Appends SST, its CONTINUE records and EXTSST to out. Offsets in EXTSST
  // are taken from `out`, whose byte 0 must be the stream's byte 0.
  void WriteRecords(ByteBuffer& out) const;

  // Bytes held (texts, index and hash table), for the memory figures.
  std::size_t MemoryBytes() const;

 private:
  // Stored entry: hash (4 bytes), index (4), character count (2), flag
  // byte, characters. Entries follow each other in blocks, in index order.
  static constexpr std::size_t kEntryHeader = 8;
  const std::uint8_t* Store(std::string_view encoded, std::uint32_t chars, std::uint32_t hash);
  void Grow();

  struct FreeBytes {
    void operator()(std::uint8_t* p) const;
  };
  struct Block {
    std::unique_ptr<std::uint8_t[], FreeBytes> bytes;
    std::size_t capacity = 0;
    std::size_t used = 0;
  };
  std::vector<Block> blocks_;
  // Open addressing; a slot holds an entry's address in its low 48 bits and
  // 16 bits of its hash above them (0: empty), so that most probes are
  // decided without touching the entry.
  std::vector<std::uint64_t> slots_;
  std::uint32_t count_ = 0;
  std::uint64_t references_ = 0;
};

}  // namespace tavo_xls
