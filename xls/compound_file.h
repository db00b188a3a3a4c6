// CompoundFileWriter: the container of an .xls file, a Compound File
// (version 3, 512-byte sectors) holding one stream, "Workbook". The stream
// is written first, sector after sector, then the directory, the FAT and,
// for files of more than 109 FAT sectors, the DIFAT sectors that list the
// rest of them. Everything is written in one pass; the caller says the
// stream's size up front.
#pragma once

#include <cstdint>
#include <vector>

namespace tavo_xls {

inline constexpr std::uint32_t kSectorSize = 512;
// Streams below this size would belong in the mini stream; the workbook
// stream is padded up to it instead.
inline constexpr std::uint32_t kMiniStreamCutoff = 4096;

struct CompoundLayout {
  std::uint64_t streamSize = 0;     // padded to at least kMiniStreamCutoff
  std::uint32_t streamSectors = 0;  // sectors 0 .. streamSectors-1
  std::uint32_t directorySector = 0;
  std::uint32_t fatSectors = 0;     // after the directory sector
  std::uint32_t difatSectors = 0;   // after the FAT sectors
  std::uint32_t totalSectors() const { return streamSectors + 1 + fatSectors + difatSectors; }
  std::uint64_t fileSize() const { return kSectorSize * (std::uint64_t{totalSectors()} + 1); }

  // false when the stream is too big for a version 3 file (4 GB).
  static bool Compute(std::uint64_t dataSize, CompoundLayout& layout);
};

class CompoundFileWriter {
 public:
  // fd: an empty file opened for writing.
  CompoundFileWriter(int fd, const CompoundLayout& layout);

  // Writes the file header; then the stream bytes through Write/CopyFrom.
  bool Begin();
  bool Write(const void* data, std::size_t size);
  // Appends size bytes of file fd, from its offset, to the stream.
  bool CopyFrom(int fd, std::uint64_t offset, std::uint64_t size);
  // Pads the stream, writes directory, FAT and DIFAT; false on a write
  // error or when the stream bytes written differ from the layout's size.
  bool Finish();
  // errno of the first failed write (0 when none).
  int error() const { return error_; }

 private:
  bool Flush();
  bool Put(const void* data, std::size_t size);
  void PutU32(std::uint32_t v);
  bool WriteHeader();
  void WriteDirectory();
  void WriteFat();
  void WriteDifat();

  int fd_;
  CompoundLayout layout_;
  std::uint64_t streamWritten_ = 0;
  std::vector<std::uint8_t> buffer_;
  int error_ = 0;  // errno of the first failed write
};

}  // namespace tavo_xls
