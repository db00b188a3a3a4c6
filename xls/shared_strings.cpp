#include "xls/shared_strings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/huge_pages.h"

namespace tavo_xls {

namespace {

// A large book looks its texts up at random places of the table and of
// the entries: on huge pages (where the system grants them) a look-up
// does not miss the TLB as well. Entry blocks are whole huge pages.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kBlockBytes = kHugePage;
constexpr std::size_t kStringHeader = 3;  // character count and flag byte

std::uint64_t Mix(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  return h;
}

std::uint64_t Load64(const void* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
std::uint32_t Load32(const void* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Cell texts are mostly 4 to 16 bytes: such a text is read as two words
// that may overlap (its first and its last 8 or 4 bytes), with no loop
// and no call. The hash only places texts in the table; the file does not
// depend on it.
std::uint32_t HashBytes(std::string_view s) {
  const char* p = s.data();
  const std::size_t n = s.size();
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
  if (n >= 8 && n <= 16) return static_cast<std::uint32_t>(Mix(h ^ Load64(p) ^ Mix(Load64(p + n - 8) + n)));
  if (n >= 4 && n < 8) return static_cast<std::uint32_t>(Mix(h ^ (std::uint64_t{Load32(p)} << 32 | Load32(p + n - 4))));
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) h = Mix(h ^ Load64(p + i)) + 0x9E3779B97F4A7C15ull;
  std::uint64_t tail = 0;
  std::memcpy(&tail, p + i, n - i);
  return static_cast<std::uint32_t>(Mix(h ^ tail));
}

// Whether the n bytes at a and b are the same: short texts as two words.
bool SameBytes(const void* a, const void* b, std::size_t n) {
  const auto* x = static_cast<const char*>(a);
  const auto* y = static_cast<const char*>(b);
  if (n >= 8 && n <= 16) return Load64(x) == Load64(y) && Load64(x + n - 8) == Load64(y + n - 8);
  if (n >= 4 && n < 8) return Load32(x) == Load32(y) && Load32(x + n - 4) == Load32(y + n - 4);
  return std::memcmp(x, y, n) == 0;
}

// Writes records of one logical record and its CONTINUE records, cutting
// where the data would pass the limit.
class ContinuedRecord {
 public:
  ContinuedRecord(ByteBuffer& out, std::uint16_t type) : out_(out) { Begin(type); }
  ~ContinuedRecord() { out_.EndRecord(start_); }
  std::size_t room() const { return kMaxRecordData - (out_.size() - start_ - 4); }
  std::size_t recordStart() const { return start_; }
  void Continue() {
    out_.EndRecord(start_);
    Begin(kRecContinue);
  }

 private:
  void Begin(std::uint16_t type) { start_ = out_.BeginRecord(type); }
  ByteBuffer& out_;
  std::size_t start_ = 0;
};

}  // namespace

SharedStrings::SharedStrings() : slots_(1024, 0) {}

void SharedStrings::FreeBytes::operator()(std::uint8_t* p) const { std::free(p); }

namespace {

constexpr std::uint64_t kAddressMask = (std::uint64_t{1} << 48) - 1;

// Bytes of an entry's characters.
std::size_t BodyBytes(const std::uint8_t* text) {
  const std::size_t chars = text[0] | (text[1] << 8);
  return (text[2] & 1) ? 2 * chars : chars;
}

std::uint64_t Tag(std::uint32_t hash) { return (std::uint64_t{hash >> 16} | 1) << 48; }

}  // namespace

const std::uint8_t* SharedStrings::Store(std::string_view encoded, std::uint32_t chars, std::uint32_t hash) {
  const std::size_t need = kEntryHeader + 2 + encoded.size();
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < need) {
    Block b;
    b.capacity = (std::max(need, kBlockBytes) + kHugePage - 1) & ~(kHugePage - 1);
    b.bytes.reset(static_cast<std::uint8_t*>(std::aligned_alloc(kHugePage, b.capacity)));
    if (!b.bytes) throw std::bad_alloc();
    lotvue::AdviseHugePages(b.bytes.get(), b.capacity);
    if (reinterpret_cast<std::uintptr_t>(b.bytes.get() + b.capacity) > kAddressMask) throw std::bad_alloc();
    blocks_.push_back(std::move(b));
  }
  Block& b = blocks_.back();
  std::uint8_t* p = b.bytes.get() + b.used;
  std::memcpy(p, &hash, 4);
  std::memcpy(p + 4, &count_, 4);
  StoreU16(p + 8, static_cast<std::uint16_t>(chars));
  std::memcpy(p + 10, encoded.data(), encoded.size());
  b.used += need;
  return p;
}

void SharedStrings::Grow() {
  std::vector<std::uint64_t> bigger;
  bigger.reserve(slots_.size() * 2);
  lotvue::AdviseHugePages(bigger.data(), bigger.capacity() * sizeof(std::uint64_t));  // before its pages are touched
  bigger.resize(slots_.size() * 2, 0);
  const std::size_t mask = bigger.size() - 1;
  for (const Block& b : blocks_) {
    for (std::size_t at = 0; at < b.used;) {
      const std::uint8_t* entry = b.bytes.get() + at;
      const std::uint32_t hash = Load32(entry);
      std::size_t slot = hash & mask;
      while (bigger[slot] != 0) slot = (slot + 1) & mask;
      bigger[slot] = Tag(hash) | reinterpret_cast<std::uintptr_t>(entry);
      at += kEntryHeader + kStringHeader + BodyBytes(entry + kEntryHeader);
    }
  }
  slots_.swap(bigger);
}

std::uint32_t SharedStrings::Hash(std::string_view encoded) { return HashBytes(encoded); }

void SharedStrings::PrefetchEntry(std::uint32_t hash) const {
  const std::uint64_t slot = slots_[hash & (slots_.size() - 1)];
  if ((slot & ~kAddressMask) == Tag(hash)) __builtin_prefetch(reinterpret_cast<const void*>(slot & kAddressMask));
}

std::uint32_t SharedStrings::Intern(std::string_view encoded, std::uint32_t chars, std::uint32_t hash) {
  const std::uint64_t tag = Tag(hash);
  const std::size_t mask = slots_.size() - 1;
  std::size_t at = hash & mask;
  while (const std::uint64_t slot = slots_[at]) {
    if ((slot & ~kAddressMask) == tag) {
      const auto* entry = reinterpret_cast<const std::uint8_t*>(slot & kAddressMask);
      const std::uint8_t* text = entry + kEntryHeader;
      if (Load32(entry) == hash && BodyBytes(text) + 1 == encoded.size() &&
          SameBytes(text + 2, encoded.data(), encoded.size()))
        return Load32(entry + 4);
    }
    at = (at + 1) & mask;
  }
  const std::uint8_t* entry = Store(encoded, chars, hash);
  slots_[at] = tag | reinterpret_cast<std::uintptr_t>(entry);
  const std::uint32_t id = count_++;
  if (std::size_t{count_} * 2 > slots_.size()) Grow();
  return id;
}

void SharedStrings::WriteRecords(ByteBuffer& out) const {
  const std::size_t count = count_;
  // Strings per EXTSST bucket: at least 8, and no more than 128 buckets.
  // (A table of many millions of strings gets at most as many buckets as fit one record.)
  const std::size_t perBucket = std::min<std::size_t>(0xFFFF, std::max<std::size_t>(8, (count + 127) / 128));
  constexpr std::size_t kMaxBuckets = (kMaxRecordData - 2) / 8;
  std::vector<std::pair<std::uint32_t, std::uint16_t>> buckets;
  {
    ContinuedRecord rec(out, kRecSst);
    out.U32(static_cast<std::uint32_t>(std::min<std::uint64_t>(references_, 0xFFFFFFFFu)));
    out.U32(static_cast<std::uint32_t>(count));
    std::size_t i = 0;  // index of the string
    const Block* block = blocks_.data();
    const Block* const blocksEnd = block + blocks_.size();
    for (std::size_t next = 0; block != blocksEnd; ++i) {
      const std::uint8_t* s = block->bytes.get() + next + kEntryHeader;
      next += kEntryHeader + kStringHeader + BodyBytes(s);
      if (next == block->used) ++block, next = 0;
      const std::size_t unit = (s[2] & 1) ? 2 : 1;
      std::size_t left = BodyBytes(s);
      // The count and flag stay together with at least one character.
      if (rec.room() < kStringHeader + std::min(left, unit)) rec.Continue();
      if (i % perBucket == 0 && buckets.size() < kMaxBuckets)
        buckets.emplace_back(static_cast<std::uint32_t>(out.size()),
                             static_cast<std::uint16_t>(out.size() - rec.recordStart()));
      out.Bytes(s, kStringHeader);
      const std::uint8_t* chars = s + kStringHeader;
      while (left > 0) {
        std::size_t take = std::min(left, rec.room() / unit * unit);
        if (take == 0) {
          // A continued string repeats its flag byte at the start of the CONTINUE record.
          rec.Continue();
          out.U8(s[2]);
          continue;
        }
        out.Bytes(chars, take);
        chars += take;
        left -= take;
      }
    }
  }
  const std::size_t at = out.BeginRecord(kRecExtSst);
  out.U16(static_cast<std::uint16_t>(perBucket));
  for (const auto& [streamPos, inRecord] : buckets) {
    out.U32(streamPos);
    out.U16(inRecord);
    out.U16(0);
  }
  out.EndRecord(at);
}

std::size_t SharedStrings::MemoryBytes() const {
  std::size_t bytes = slots_.capacity() * sizeof(std::uint64_t);
  for (const Block& b : blocks_) bytes += b.capacity;
  return bytes;
}

}  // namespace tavo_xls
