#include "xls/compound_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "xls/biff_buffer.h"
#include "xls/write_all.h"

namespace tavo_xls {

namespace {

constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;            // FAT entries
constexpr std::uint32_t kFatInHeader = 109;                             // DIFAT entries in the header
constexpr std::uint32_t kFatPerDifatSector = kEntriesPerSector - 1;     // the last one chains
constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

std::uint32_t CeilDiv(std::uint64_t a, std::uint64_t b) { return static_cast<std::uint32_t>((a + b - 1) / b); }

}  // namespace

bool CompoundLayout::Compute(std::uint64_t dataSize, CompoundLayout& l) {
  l.streamSize = std::max<std::uint64_t>(dataSize, kMiniStreamCutoff);
  if (l.streamSize > 0xFFFFFFFFull) return false;  // the directory keeps 32 bits of size
  l.streamSectors = CeilDiv(l.streamSize, kSectorSize);
  l.directorySector = l.streamSectors;
  std::uint32_t fat = CeilDiv(l.streamSectors + 1, kEntriesPerSector);
  std::uint32_t difat = 0;
  // The FAT also maps its own sectors and the DIFAT's: grow until it covers them all.
  for (;;) {
    const std::uint64_t total = std::uint64_t{l.streamSectors} + 1 + fat + difat;
    const std::uint32_t needFat = CeilDiv(total, kEntriesPerSector);
    const std::uint32_t needDifat = needFat > kFatInHeader ? CeilDiv(needFat - kFatInHeader, kFatPerDifatSector) : 0;
    if (needFat <= fat && needDifat <= difat) break;
    fat = std::max(fat, needFat);
    difat = std::max(difat, needDifat);
  }
  l.fatSectors = fat;
  l.difatSectors = difat;
  return true;
}

CompoundFileWriter::CompoundFileWriter(int fd, const CompoundLayout& layout) : fd_(fd), layout_(layout) {
  buffer_.reserve(kBufferBytes);
}

bool CompoundFileWriter::Flush() {
  if (error_ == 0 && !buffer_.empty() && !WriteAll(fd_, buffer_.data(), buffer_.size())) error_ = errno;
  buffer_.clear();
  return error_ == 0;
}

bool CompoundFileWriter::Put(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  if (buffer_.size() + size > kBufferBytes) {
    if (!Flush()) return false;
    if (size >= kBufferBytes) {
      if (!WriteAll(fd_, p, size)) error_ = errno;
      return error_ == 0;
    }
  }
  buffer_.insert(buffer_.end(), p, p + size);
  return error_ == 0;
}

void CompoundFileWriter::PutU32(std::uint32_t v) {
  std::uint8_t b[4];
  StoreU32(b, v);
  Put(b, 4);
}

bool CompoundFileWriter::Begin() { return WriteHeader(); }

bool CompoundFileWriter::Write(const void* data, std::size_t size) {
  streamWritten_ += size;
  return Put(data, size);
}

bool CompoundFileWriter::CopyFrom(int fd, std::uint64_t offset, std::uint64_t size) {
  if (!Flush()) return false;
  streamWritten_ += size;
  auto off = static_cast<off_t>(offset);
  while (size > 0) {
    // In-kernel copy first; plain reads and writes where the files do not allow it.
    const ssize_t n = ::copy_file_range(fd, &off, fd_, nullptr, size, 0);
    if (n > 0) {
      size -= static_cast<std::uint64_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)) {
      error_ = n == 0 ? EIO : errno;
      return false;
    }
    buffer_.resize(kBufferBytes);
    while (size > 0) {
      const ssize_t r = ::pread(fd, buffer_.data(), std::min<std::uint64_t>(size, kBufferBytes), off);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0 || !WriteAll(fd_, buffer_.data(), static_cast<std::size_t>(r))) {
        error_ = r == 0 ? EIO : errno;
        break;
      }
      off += r;
      size -= static_cast<std::uint64_t>(r);
    }
    buffer_.clear();
    return error_ == 0;
  }
  return true;
}

bool CompoundFileWriter::WriteHeader() {
  std::uint8_t h[kSectorSize];
  std::memset(h, 0, sizeof h);
  static const std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(h, kSignature, 8);
  StoreU16(h + 24, 0x003E);  // minor version
  StoreU16(h + 26, 0x0003);  // major version 3
  StoreU16(h + 28, 0xFFFE);  // little-endian
  StoreU16(h + 30, 9);       // 512-byte sectors
  StoreU16(h + 32, 6);       // 64-byte mini sectors
  StoreU32(h + 44, layout_.fatSectors);
  StoreU32(h + 48, layout_.directorySector);
  StoreU32(h + 56, kMiniStreamCutoff);
  StoreU32(h + 60, kEndOfChain);  // no mini FAT
  const std::uint32_t firstFat = layout_.directorySector + 1;
  const std::uint32_t firstDifat = firstFat + layout_.fatSectors;
  StoreU32(h + 68, layout_.difatSectors ? firstDifat : kEndOfChain);
  StoreU32(h + 72, layout_.difatSectors);
  for (std::uint32_t i = 0; i < kFatInHeader; ++i)
    StoreU32(h + 76 + 4 * i, i < layout_.fatSectors ? firstFat + i : kFreeSector);
  return Put(h, sizeof h);
}

void CompoundFileWriter::WriteDirectory() {
  std::uint8_t dir[kSectorSize];
  std::memset(dir, 0, sizeof dir);
  auto entry = [&](int index, const char* name, std::uint8_t type, std::uint32_t child, std::uint32_t start,
                   std::uint32_t size) {
    std::uint8_t* e = dir + 128 * index;
    std::size_t len = 0;
    if (name) {
      for (; name[len]; ++len) StoreU16(e + 2 * len, static_cast<std::uint8_t>(name[len]));
      StoreU16(e + 64, static_cast<std::uint16_t>(2 * (len + 1)));
    }
    e[66] = type;
    e[67] = type ? 1 : 0;  // black node of the red-black tree
    StoreU32(e + 68, kNoStream);
    StoreU32(e + 72, kNoStream);
    StoreU32(e + 76, child);
    StoreU32(e + 116, start);
    StoreU32(e + 120, size);
  };
  entry(0, "Root Entry", 5, 1, kEndOfChain, 0);
  entry(1, "Workbook", 2, kNoStream, 0, static_cast<std::uint32_t>(layout_.streamSize));
  entry(2, nullptr, 0, kNoStream, 0, 0);
  entry(3, nullptr, 0, kNoStream, 0, 0);
  Put(dir, sizeof dir);
}

void CompoundFileWriter::WriteFat() {
  const std::uint32_t n = layout_.streamSectors;
  const std::uint32_t firstFat = layout_.directorySector + 1;
  const std::uint32_t firstDifat = firstFat + layout_.fatSectors;
  const std::uint32_t total = layout_.totalSectors();
  for (std::uint64_t i = 0; i < std::uint64_t{layout_.fatSectors} * kEntriesPerSector; ++i) {
    std::uint32_t v = kFreeSector;
    if (i + 1 < n)
      v = static_cast<std::uint32_t>(i + 1);
    else if (i + 1 == n || i == layout_.directorySector)
      v = kEndOfChain;
    else if (i >= firstFat && i < firstDifat)
      v = kFatSector;
    else if (i >= firstDifat && i < total)
      v = kDifatSector;
    PutU32(v);
  }
}

void CompoundFileWriter::WriteDifat() {
  const std::uint32_t firstFat = layout_.directorySector + 1;
  const std::uint32_t firstDifat = firstFat + layout_.fatSectors;
  std::uint32_t fat = kFatInHeader;  // FAT sectors listed so far
  for (std::uint32_t d = 0; d < layout_.difatSectors; ++d) {
    for (std::uint32_t k = 0; k < kFatPerDifatSector; ++k, ++fat)
      PutU32(fat < layout_.fatSectors ? firstFat + fat : kFreeSector);
    PutU32(d + 1 < layout_.difatSectors ? firstDifat + d + 1 : kEndOfChain);
  }
}

bool CompoundFileWriter::Finish() {
  if (streamWritten_ > layout_.streamSize) return false;
  static const std::uint8_t kZeros[kSectorSize] = {};
  std::uint64_t pad = std::uint64_t{layout_.streamSectors} * kSectorSize - streamWritten_;
  while (pad > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(pad, kSectorSize));
    Put(kZeros, n);
    pad -= n;
  }
  WriteDirectory();
  WriteFat();
  WriteDifat();
  return Flush();
}

}  // namespace tavo_xls
