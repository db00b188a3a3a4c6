#include "xls/zip_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>
#include <zlib.h>

namespace lotvue_xlsx {

namespace {

constexpr std::size_t kOutBytes = std::size_t{1} << 20;

// Record signatures.
constexpr std::uint32_t kLocalHeaderSig = 0x04034b50;
constexpr std::uint32_t kDataDescriptorSig = 0x08074b50;
constexpr std::uint32_t kCentralHeaderSig = 0x02014b50;
constexpr std::uint32_t kZip64EndSig = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSig = 0x07064b50;
constexpr std::uint32_t kEndSig = 0x06054b50;

constexpr std::uint16_t kVersionDeflate = 20;  // "version needed": 2.0, deflate
constexpr std::uint16_t kVersionZip64 = 45;    // 4.5, ZIP64
constexpr std::uint16_t kFlagSizesFollow = 0x0008;  // CRC and sizes in the data descriptor
constexpr std::uint16_t kFlagUtf8Names = 0x0800;
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint16_t kDosTime = 0;               // 00:00:00
constexpr std::uint16_t kDosDate = (1980 - 1980) << 9 | 1 << 5 | 1;  // 1 January 1980
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint32_t kMax32 = 0xFFFFFFFFu;  // "see the ZIP64 record" in a 32-bit field
constexpr std::uint16_t kMax16 = 0xFFFF;

void U16(std::string& out, std::uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}
void U32(std::string& out, std::uint32_t v) {
  U16(out, static_cast<std::uint16_t>(v & 0xFFFF));
  U16(out, static_cast<std::uint16_t>(v >> 16));
}
void U64(std::string& out, std::uint64_t v) {
  U32(out, static_cast<std::uint32_t>(v & kMax32));
  U32(out, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace

namespace {

constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
constexpr std::size_t kDictionaryBytes = std::size_t{32} << 10;

int Workers(int threads) {
  if (threads >= 0) return threads;
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n > 4 ? 4 : static_cast<int>(n);
}

}  // namespace

ZipStream::ZipStream(int fd, int level, std::uint64_t zip64Limit, int threads)
    : fd_(fd), limit_(zip64Limit), maxInFlight_(2 * static_cast<std::size_t>(Workers(threads)) + 1),
      pool_(level, Workers(threads)) {
  out_.reserve(kOutBytes);
}

bool ZipStream::Fail(int error) {
  if (error_ == 0) error_ = error ? error : EIO;
  return false;
}

bool ZipStream::FlushOut() {
  std::size_t done = 0;
  while (done < out_.size()) {
    const ssize_t n = ::write(fd_, out_.data() + done, out_.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(errno);
    }
    done += static_cast<std::size_t>(n);
  }
  out_.clear();
  return true;
}

bool ZipStream::Put(const void* data, std::size_t size) {
  if (failed()) return false;
  offset_ += size;
  const auto* p = static_cast<const unsigned char*>(data);
  if (out_.size() + size > kOutBytes && !FlushOut()) return false;
  if (size >= kOutBytes) {
    out_.assign(p, p + size);
    return FlushOut();
  }
  out_.insert(out_.end(), p, p + size);
  return true;
}

bool ZipStream::BeginEntry(std::string_view name) {
  if (finished_ || (inEntry_ && !EndEntry()) || failed()) return false;
  current_ = Entry{};
  current_.name.assign(name.data(), name.size());
  current_.offset = offset_;
  // Local file header; CRC and sizes are zero here and follow the data.
  std::string h;
  U32(h, kLocalHeaderSig);
  U16(h, kVersionDeflate);
  U16(h, kFlagSizesFollow | kFlagUtf8Names);
  U16(h, kMethodDeflate);
  U16(h, kDosTime);
  U16(h, kDosDate);
  U32(h, 0);  // CRC-32
  U32(h, 0);  // compressed size
  U32(h, 0);  // uncompressed size
  U16(h, static_cast<std::uint16_t>(name.size()));
  U16(h, 0);  // extra field length
  h.append(name);
  inEntry_ = true;
  return Put(h.data(), h.size());
}

DeflateChunk& ZipStream::Filling() {
  if (!filling_) {
    if (spare_.empty()) {
      filling_ = std::make_unique<DeflateChunk>();
    } else {
      filling_ = std::move(spare_.back());
      spare_.pop_back();
    }
    filling_->data.size = 0;
  }
  return *filling_;
}

void ZipStream::Submit(bool last) {
  DeflateChunk& c = Filling();
  c.last = last;
  c.dict = tail_;
  // The next chunk's dictionary: the last 32 KB of the stream so far.
  const unsigned char* end = c.data.bytes.get() + c.data.size;
  tail_.insert(tail_.end(), end - std::min(c.data.size, kDictionaryBytes), end);
  if (tail_.size() > kDictionaryBytes)
    tail_.erase(tail_.begin(), tail_.end() - static_cast<std::ptrdiff_t>(kDictionaryBytes));
  pool_.Submit(filling_.get());
  inFlight_.push_back(std::move(filling_));
}

void ZipStream::SubmitFull() {
  Submit(false);
  while (inFlight_.size() > maxInFlight_ && Retire()) {
  }
}

bool ZipStream::Retire() {
  std::unique_ptr<DeflateChunk> c = std::move(inFlight_.front());
  inFlight_.pop_front();
  pool_.Wait(c.get());
  const bool ok = c->ok || Fail(EIO);
  if (ok) {
    current_.crc = static_cast<std::uint32_t>(crc32_combine(current_.crc, c->crc, static_cast<z_off_t>(c->data.size)));
    current_.size += c->data.size;
    current_.compressed += c->out.size;
  }
  const bool written = ok && Put(c->out.bytes.get(), c->out.size);
  spare_.push_back(std::move(c));
  return written;
}

unsigned char* ZipStream::Room(std::size_t n) {
  DeflateChunk* c = &Filling();
  if (c->data.size > 0 && c->data.size + n > kChunkBytes) {
    SubmitFull();
    c = &Filling();
  }
  c->data.Reserve(std::max(kChunkBytes, c->data.size + n));
  return c->data.bytes.get() + c->data.size;
}

void ZipStream::Commit(const unsigned char* end) {
  filling_->data.size = static_cast<std::size_t>(end - filling_->data.bytes.get());
  if (filling_->data.size >= kChunkBytes) SubmitFull();
}

bool ZipStream::Write(const void* data, std::size_t size) {
  if (!inEntry_ || failed()) return false;
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const std::size_t take = std::min(size, kChunkBytes);
    unsigned char* room = Room(take);
    std::memcpy(room, p, take);
    Commit(room + take);
    p += take;
    size -= take;
  }
  return !failed();
}

bool ZipStream::EndEntry() {
  if (!inEntry_ || failed()) return false;
  inEntry_ = false;
  Submit(true);
  tail_.clear();
  while (!inFlight_.empty())
    if (!Retire()) return false;
  // Data descriptor: 8-byte sizes when either passes the limit.
  std::string d;
  U32(d, kDataDescriptorSig);
  U32(d, current_.crc);
  if (Big(current_.compressed) || Big(current_.size)) {
    U64(d, current_.compressed);
    U64(d, current_.size);
  } else {
    U32(d, static_cast<std::uint32_t>(current_.compressed));
    U32(d, static_cast<std::uint32_t>(current_.size));
  }
  entries_.push_back(std::move(current_));
  return Put(d.data(), d.size());
}

void ZipStream::WriteCentralEntry(std::string& out, const Entry& e) const {
  // The ZIP64 extra field holds, in this order, whichever of the
  // uncompressed size, compressed size and local header offset do not fit.
  std::string extra;
  if (Big(e.size)) U64(extra, e.size);
  if (Big(e.compressed)) U64(extra, e.compressed);
  if (Big(e.offset)) U64(extra, e.offset);
  const bool zip64 = !extra.empty();
  U32(out, kCentralHeaderSig);
  U16(out, zip64 ? kVersionZip64 : kVersionDeflate);  // made by (MS-DOS attributes)
  U16(out, zip64 ? kVersionZip64 : kVersionDeflate);  // needed
  U16(out, kFlagSizesFollow | kFlagUtf8Names);
  U16(out, kMethodDeflate);
  U16(out, kDosTime);
  U16(out, kDosDate);
  U32(out, e.crc);
  U32(out, Big(e.compressed) ? kMax32 : static_cast<std::uint32_t>(e.compressed));
  U32(out, Big(e.size) ? kMax32 : static_cast<std::uint32_t>(e.size));
  U16(out, static_cast<std::uint16_t>(e.name.size()));
  U16(out, static_cast<std::uint16_t>(zip64 ? 4 + extra.size() : 0));
  U16(out, 0);  // comment length
  U16(out, 0);  // disk number start
  U16(out, 0);  // internal attributes
  U32(out, 0);  // external attributes
  U32(out, Big(e.offset) ? kMax32 : static_cast<std::uint32_t>(e.offset));
  out += e.name;
  if (zip64) {
    U16(out, kZip64ExtraId);
    U16(out, static_cast<std::uint16_t>(extra.size()));
    out += extra;
  }
}

bool ZipStream::Finish() {
  if (finished_ || (inEntry_ && !EndEntry()) || failed()) return false;
  finished_ = true;
  const std::uint64_t cdOffset = offset_;
  std::string cd;
  for (const Entry& e : entries_) WriteCentralEntry(cd, e);
  const std::uint64_t cdSize = cd.size();
  const std::uint64_t count = entries_.size();
  const bool zip64 = Big(cdOffset) || Big(cdSize) || count >= kMax16;
  if (zip64) {
    const std::uint64_t recordOffset = cdOffset + cdSize;
    // ZIP64 end of central directory record (its size field excludes the first 12 bytes).
    U32(cd, kZip64EndSig);
    U64(cd, 44);
    U16(cd, kVersionZip64);  // made by
    U16(cd, kVersionZip64);  // needed
    U32(cd, 0);              // this disk
    U32(cd, 0);              // disk of the central directory
    U64(cd, count);          // entries on this disk
    U64(cd, count);          // entries in all
    U64(cd, cdSize);
    U64(cd, cdOffset);
    // ZIP64 end of central directory locator.
    U32(cd, kZip64LocatorSig);
    U32(cd, 0);  // disk of the ZIP64 end record
    U64(cd, recordOffset);
    U32(cd, 1);  // disks in all
  }
  // End of central directory record.
  U32(cd, kEndSig);
  U16(cd, 0);  // this disk
  U16(cd, 0);  // disk of the central directory
  const std::uint16_t count16 = count >= kMax16 ? kMax16 : static_cast<std::uint16_t>(count);
  U16(cd, count16);
  U16(cd, count16);
  U32(cd, Big(cdSize) ? kMax32 : static_cast<std::uint32_t>(cdSize));
  U32(cd, Big(cdOffset) ? kMax32 : static_cast<std::uint32_t>(cdOffset));
  U16(cd, 0);  // comment length
  return Put(cd.data(), cd.size()) && FlushOut();
}

}  // namespace lotvue_xlsx
