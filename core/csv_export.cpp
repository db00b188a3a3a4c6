#include "core/csv_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/csv_scientific.h"
#include "core/number_text.h"
#include "core/value_text.h"

namespace lotvue {

std::string CsvPathOf(const std::string& lotPath) {
  return lotPath.substr(0, lotPath.size() >= 3 ? lotPath.size() - 3 : 0) + "CSV";
}

int DeviceRowCount(const LotData& lot) {
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  const std::size_t rows = lot.deviceCells.size() / w;
  return rows == 0 ? 0 : static_cast<int>(rows - 1);
}

CellRange DeviceCellRange(const LotData& lot, int firstDevice, int lastDevice) {
  const std::size_t size = lot.deviceCells.size();
  if (firstDevice < 0 && lastDevice < 0) return {0, size};
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  const std::size_t first = w * static_cast<std::size_t>(std::max(firstDevice, 0));
  const std::size_t end = w * (static_cast<std::size_t>(std::max(lastDevice, -1) + 1));
  return {std::min(first, size), std::min(std::max(first, end), size)};
}

// ---------------------------------------------------------------------------
// ReplacingWriter

namespace {

std::atomic<unsigned> tempCounter{0};

// The folder part of a path ("." for a bare name), with a trailing "/".
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return path.substr(0, slash + 1);
}

// Writes every byte unless the file refuses; false then.
bool WriteAll(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t done = ::write(fd, p, n);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += done;
    n -= static_cast<std::size_t>(done);
  }
  return true;
}

}  // namespace

struct ReplacingWriter::BackgroundWrite {
  explicit BackgroundWrite(int file) : fd(file), thread([this] { Run(); }) {}
  ~BackgroundWrite() {
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [this] { return !busy; });
      stop = true;
    }
    changed.notify_all();
    thread.join();
  }

  // Hands over a full buffer once the one handed over before is written.
  void Submit(const char* data, std::size_t size) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return !busy; });
    job = data;
    jobSize = size;
    busy = true;
    lock.unlock();
    changed.notify_all();
  }
  // Waits for the last buffer; false when any write failed.
  bool Settle() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return !busy; });
    return !failed;
  }

  void Run() {
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [this] { return busy || stop; });
      if (!busy) return;
      const char* data = job;
      const std::size_t size = jobSize;
      lock.unlock();
      const bool ok = failed || WriteAll(fd, data, size);
      lock.lock();
      failed = failed || !ok;
      busy = false;
      changed.notify_all();
    }
  }

  const int fd;
  std::mutex mutex;
  std::condition_variable changed;
  const char* job = nullptr;
  std::size_t jobSize = 0;
  bool busy = false;
  bool stop = false;
  bool failed = false;
  std::thread thread;  // last: starts once everything above is in place
};

ReplacingWriter::ReplacingWriter() : buffer_(new char[kBufferBytes]), capacity_(kBufferBytes) {}

ReplacingWriter::ReplacingWriter(std::string* memory)
    : buffer_(new char[kBufferBytes]), capacity_(kBufferBytes), memory_(memory) {}

ReplacingWriter::~ReplacingWriter() { Discard(); }

bool ReplacingWriter::Open(const std::string& path) {
  Discard();
  failed_ = false;
  used_ = 0;
  target_ = path;
  // A link is followed, as opening the file for writing would: the file it
  // names is the one replaced.
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(path.c_str(), nullptr)) {
      target_ = real;
      std::free(real);
    }
  }
  const bool exists = stat(target_.c_str(), &st) == 0;
  if (exists) {
    if (S_ISDIR(st.st_mode)) return false;
    if ((st.st_mode & 0222) == 0 || access(target_.c_str(), W_OK) != 0) return false;
  }
  // A hidden name of our own in the same folder, so that the rename stays
  // within one file system and a folder listing never offers it.
  const std::string folder = FolderOf(target_);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_ = folder + ".lotvue-" + IntText(getpid()) + "-" + IntText(tempCounter.fetch_add(1)) + ".tmp";
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) break;
    if (errno != EEXIST) break;
  }
  if (fd_ < 0) {
    temp_.clear();
    return false;
  }
  if (exists) (void)fchmod(fd_, st.st_mode & 07777);
  return true;
}

void ReplacingWriter::Drain() {
  if (used_ == 0) return;
  if (memory_ != nullptr) {
    memory_->append(buffer_.get(), used_);
  } else if (fd_ < 0) {
    failed_ = true;  // never opened
  } else {
    if (!background_) {
      spare_.reset(new char[capacity_]);
      background_ = std::make_unique<BackgroundWrite>(fd_);
    }
    background_->Submit(buffer_.get(), used_);
    std::swap(buffer_, spare_);
  }
  used_ = 0;
}

void ReplacingWriter::PutSlow(std::string_view bytes) {
  while (!bytes.empty()) {
    if (used_ == capacity_) Drain();
    const std::size_t n = std::min(bytes.size(), capacity_ - used_);
    std::memcpy(buffer_.get() + used_, bytes.data(), n);
    used_ += n;
    bytes.remove_prefix(n);
  }
}

bool ReplacingWriter::Finish() {
  if (memory_ != nullptr) {
    Drain();
    return true;
  }
  if (fd_ < 0) return false;
  if (background_) {
    Drain();
    if (!background_->Settle()) failed_ = true;
    background_.reset();
  } else if (!WriteAll(fd_, buffer_.get(), used_)) {
    failed_ = true;  // a small file: one write, no thread
  }
  used_ = 0;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) failed_ = true;
  if (!failed_ && std::rename(temp_.c_str(), target_.c_str()) == 0) {
    temp_.clear();
    return true;
  }
  ::unlink(temp_.c_str());
  temp_.clear();
  return false;
}

void ReplacingWriter::Discard() {
  background_.reset();  // waits for the buffer it is writing
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
  used_ = 0;
}

// ---------------------------------------------------------------------------
// The CSV layout

namespace {

constexpr std::string_view kTitleLine = "TAVO Test System VXT-5000";

void PutRowCell(ReplacingWriter& out, std::string_view text, bool lastInRow) {
  if (lastInRow) {
    out.Put(text);
    out.PutLineEnd();
  } else {
    out.PutCell(text, ',');
  }
}

void WriteSummary(const LotData& lot, ReplacingWriter& out) {
  const std::size_t n = lot.headerCells.size();
  // The Comment value (position n - 9) gets no line end: the empty pair
  // that follows it continues its line.
  const std::size_t commentValue = n >= 9 ? n - 9 : SIZE_MAX;
  for (std::size_t i = 0; i < n; ++i) {
    out.Put(lot.headerCells[i]);
    if (i % 2 == 0) {
      out.Put(',');
    } else if (i != commentValue) {
      out.PutLineEnd();
    }
  }
}

void WriteItemTable(const LotData& lot, ReplacingWriter& out) {
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  const std::size_t n = lot.itemTable.size();
  for (std::size_t k = 0; k < n; ++k) {
    if (k / w == kRowSeparator) continue;
    PutRowCell(out, lot.itemTable[k], k % w == w - 1);
  }
}

// Copies a cell of a row. A short cell that does not end near the row's end
// moves as one 16-byte block: the bytes behind it still belong to the row,
// and the output has room for the overshoot, which the next write covers.
inline char* CopyCell(char* o, std::string_view text, const char* rowLimit) {
  if (text.size() <= 16 && text.data() + 16 <= rowLimit) {
    std::memcpy(o, text.data(), 16);
  } else {
    std::memcpy(o, text.data(), text.size());
  }
  return o + text.size();
}

// A Value cell: the text cut before its first byte above '9' (CutAtUnit).
// A short cell with 16 readable bytes is cut with one comparison of all
// 16 bytes at once.
inline char* CopyValueCell(char* o, std::string_view text, const char* rowLimit) {
#if defined(__SSE2__)
  if (text.size() <= 16 && text.data() + 16 <= rowLimit) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data()));
    // Signed comparison, as the cut counts bytes 0x80 to 0xFF as below '9'.
    const unsigned above = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('9'))));
    std::memcpy(o, text.data(), 16);
    return o + std::countr_zero(above | (1u << text.size()));
  }
#endif
  return CopyCell(o, CutAtUnit(text), rowLimit);
}

// The cells [firstCell, endCell) of the device table, row by row. Serial and
// bin, and every cell of the title row, are written as they are.
void WriteDeviceCells(const LotData& lot, std::size_t firstCell, std::size_t endCell, CsvFormat format,
                      ReplacingWriter& out) {
  const CellTable& cells = lot.deviceCells;
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  endCell = std::min(endCell, cells.size());
  if (cells.width() != w) return;  // a table that does not belong to this item count
  std::size_t k = firstCell;
  while (k < endCell) {
    const std::size_t row = k / w;
    const std::size_t colFirst = k % w;
    const std::size_t rowEnd = std::min(endCell, (row + 1) * w);
    const std::size_t colEnd = colFirst + (rowEnd - k);
    k = rowEnd;
    const CellTable::RowCells rowCells = cells.Row(row);
    const std::size_t rowBytes = rowCells.ends[w - 1];
    const char* const rowLimit = rowCells.base + rowBytes;
    const bool plain = row == 0 || format == CsvFormat::kData;
    const std::size_t room = rowBytes + w * (plain ? 1 : kMaxScientificText + 1) + 2 + 16;
    if (room > ReplacingWriter::kBufferBytes) {
      // A row larger than the buffer: cell by cell.
      for (std::size_t c = colFirst; c < colEnd; ++c) {
        std::string_view text = rowCells[c];
        if (!plain && c >= 2) {
          if (format == CsvFormat::kScientific) {
            char* p = out.Room(kMaxScientificText);
            out.Advance(WriteScientificText(text, p));
            text = {};
          } else {
            text = CutAtUnit(text);
          }
        }
        PutRowCell(out, text, c == w - 1);
      }
      continue;
    }
    char* const start = out.Room(room);
    char* o = start;
    for (std::size_t c = colFirst; c < colEnd; ++c) {
      const std::string_view text = rowCells[c];
      if (plain || c < 2) {
        o = CopyCell(o, text, rowLimit);
      } else if (format == CsvFormat::kScientific) {
        o += WriteScientificText(text, o);
      } else {
        o = CopyValueCell(o, text, rowLimit);
      }
      if (c == w - 1) {
        o[0] = '\r';
        o[1] = '\n';
        o += 2;
      } else {
        *o++ = ',';
      }
    }
    out.Advance(static_cast<std::size_t>(o - start));
  }
}

// Scientific cells cost several times what copying costs: a large range is
// cut into chunks of about kChunkCells cells, and a helper thread formats
// every second chunk into a buffer of its own while this thread formats the
// others straight into the output and copies the helper's in, in order.
constexpr std::size_t kChunkCells = 1 << 16;

void WriteDeviceCellsInTwo(const LotData& lot, std::size_t firstCell, std::size_t endCell, CsvFormat format,
                           ReplacingWriter& out) {
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  const std::size_t chunk = std::max<std::size_t>(1, kChunkCells / w) * w;  // whole rows
  const std::size_t chunks = (endCell - firstCell + chunk - 1) / chunk;
  const auto range = [&](std::size_t c) {
    const std::size_t first = firstCell + c * chunk;
    return std::pair{first, std::min(endCell, first + chunk)};
  };
  struct Slot {
    std::string bytes;
    std::size_t chunk = SIZE_MAX;  // the chunk the bytes hold, SIZE_MAX while free
  };
  Slot slots[2];
  std::mutex mutex;
  std::condition_variable changed;
  bool stop = false;
  const auto helper = [&] {
    for (std::size_t c = 1; c < chunks; c += 2) {
      Slot& slot = slots[(c / 2) % 2];
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return slot.chunk == SIZE_MAX || stop; });
        if (stop) return;
      }
      std::string bytes = std::move(slot.bytes);
      bytes.clear();
      ReplacingWriter buffer(&bytes);
      WriteDeviceCells(lot, range(c).first, range(c).second, format, buffer);
      buffer.Finish();
      {
        std::lock_guard lock(mutex);
        slot.bytes = std::move(bytes);
        slot.chunk = c;
      }
      changed.notify_all();
    }
  };
  std::thread thread;
  try {
    thread = std::thread(helper);
  } catch (const std::system_error&) {
    WriteDeviceCells(lot, firstCell, endCell, format, out);  // no thread to be had: alone
    return;
  }
  for (std::size_t c = 0; c < chunks; ++c) {
    if (c % 2 == 0) {
      WriteDeviceCells(lot, range(c).first, range(c).second, format, out);
      continue;
    }
    Slot& slot = slots[(c / 2) % 2];
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return slot.chunk == c; });
    }
    out.Put(slot.bytes);
    {
      std::lock_guard lock(mutex);
      slot.chunk = SIZE_MAX;
    }
    changed.notify_all();
  }
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  changed.notify_all();
  thread.join();
}

}  // namespace

void WriteCsv(const LotData& lot, std::size_t firstCell, std::size_t endCell, CsvFormat format, ReplacingWriter& out) {
  out.Put(kTitleLine);
  out.PutLineEnd();
  WriteSummary(lot, out);
  out.PutLineEnd();
  WriteItemTable(lot, out);
  const CellTable& cells = lot.deviceCells;
  const std::size_t w = static_cast<std::size_t>(lot.columns());
  if (firstCell > 0 && cells.rows() > 0 && cells.width() == w) {
    for (std::size_t c = 0; c < w; ++c) PutRowCell(out, cells.At(0, c), c == w - 1);
  }
  endCell = std::min(endCell, cells.size());
  if (format == CsvFormat::kScientific && firstCell < endCell && endCell - firstCell > 2 * kChunkCells) {
    WriteDeviceCellsInTwo(lot, firstCell, endCell, format, out);
  } else {
    WriteDeviceCells(lot, firstCell, endCell, format, out);
  }
}

std::string CsvText(const LotData& lot, std::size_t firstCell, std::size_t endCell, CsvFormat format) {
  std::string text;
  ReplacingWriter out(&text);
  WriteCsv(lot, firstCell, endCell, format, out);
  out.Finish();
  return text;
}

bool WriteCsvFile(const std::string& path, const LotData& lot, std::size_t firstCell, std::size_t endCell,
                  CsvFormat format) {
  ReplacingWriter out;
  if (!out.Open(path)) return false;
  WriteCsv(lot, firstCell, endCell, format, out);
  return out.Finish();
}

}  // namespace lotvue
