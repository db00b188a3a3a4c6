#include "xls/shared_strings.h"

#include <algorithm>
#include <cstring>

namespace tavo_xls {

namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
constexpr std::size_t kStringHeader = 3;  // character count and flag byte

std::uint64_t Mix(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  return h;
}

std::uint32_t HashBytes(std::string_view s) {
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ s.size();
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s.data() + i, 8);
    h = Mix(h ^ w) + 0x9E3779B97F4A7C15ull;
  }
  std::uint64_t tail = 0;
  std::memcpy(&tail, s.data() + i, s.size() - i);
  return static_cast<std::uint32_t>(Mix(h ^ tail));
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

std::size_t SharedStrings::BodyBytes(const std::uint8_t* s) {
  const std::size_t chars = s[0] | (s[1] << 8);
  return (s[2] & 1) ? 2 * chars : chars;
}

const std::uint8_t* SharedStrings::Store(std::string_view encoded, std::uint32_t chars) {
  const std::size_t need = encoded.size() + 2;
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < need) {
    Block b;
    b.capacity = std::max(need, kBlockBytes);
    b.bytes.reset(new std::uint8_t[b.capacity]);
    blocks_.push_back(std::move(b));
  }
  Block& b = blocks_.back();
  std::uint8_t* p = b.bytes.get() + b.used;
  StoreU16(p, static_cast<std::uint16_t>(chars));
  std::memcpy(p + 2, encoded.data(), encoded.size());
  b.used += need;
  return p;
}

void SharedStrings::Grow() {
  std::vector<std::uint32_t> bigger(slots_.size() * 2, 0);
  const std::size_t mask = bigger.size() - 1;
  for (std::uint32_t id = 0; id < strings_.size(); ++id) {
    std::size_t at = hashes_[id] & mask;
    while (bigger[at] != 0) at = (at + 1) & mask;
    bigger[at] = id + 1;
  }
  slots_.swap(bigger);
}

std::uint32_t SharedStrings::Intern(std::string_view encoded, std::uint32_t chars) {
  const std::uint32_t hash = HashBytes(encoded);
  const std::size_t mask = slots_.size() - 1;
  std::size_t at = hash & mask;
  while (const std::uint32_t slot = slots_[at]) {
    const std::uint32_t id = slot - 1;
    if (hashes_[id] == hash) {
      const std::uint8_t* s = strings_[id];
      if (BodyBytes(s) + 1 == encoded.size() && std::memcmp(s + 2, encoded.data(), encoded.size()) == 0)
        return id;
    }
    at = (at + 1) & mask;
  }
  const auto id = static_cast<std::uint32_t>(strings_.size());
  strings_.push_back(Store(encoded, chars));
  hashes_.push_back(hash);
  slots_[at] = id + 1;
  if (strings_.size() * 2 > slots_.size()) Grow();
  return id;
}

void SharedStrings::WriteRecords(ByteBuffer& out) const {
  const std::size_t count = strings_.size();
  // Strings per EXTSST bucket: at least 8, and no more than 128 buckets.
  // (A table of many millions of strings gets at most as many buckets as fit one record.)
  const std::size_t perBucket = std::min<std::size_t>(0xFFFF, std::max<std::size_t>(8, (count + 127) / 128));
  constexpr std::size_t kMaxBuckets = (kMaxRecordData - 2) / 8;
  std::vector<std::pair<std::uint32_t, std::uint16_t>> buckets;
  {
    ContinuedRecord rec(out, kRecSst);
    out.U32(static_cast<std::uint32_t>(std::min<std::uint64_t>(references_, 0xFFFFFFFFu)));
    out.U32(static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* s = strings_[i];
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
  std::size_t bytes = slots_.capacity() * sizeof(std::uint32_t) + hashes_.capacity() * sizeof(std::uint32_t) +
                      strings_.capacity() * sizeof(void*);
  for (const Block& b : blocks_) bytes += b.capacity;
  return bytes;
}

}  // namespace tavo_xls
