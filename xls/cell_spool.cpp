#include "xls/cell_spool.h"

#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

#include "xls/write_all.h"

namespace tavo_xls {

namespace {
constexpr std::size_t kBufferBytes = std::size_t{1} << 18;
}

CellSpool::~CellSpool() {
  if (fd_ >= 0) ::close(fd_);
}

bool CellSpool::Open(const std::string& folder, int sheets) {
  // An unnamed file disappears by itself whatever happens to the process;
  // where the file system cannot make one, a named file is unlinked at once.
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    std::string name = folder + ".lotvue-XXXXXX.tmp";  // a name the next run would remove
    fd_ = ::mkostemps(name.data(), 4, O_CLOEXEC);
    if (fd_ < 0) return false;
    ::unlink(name.c_str());
  }
  buffer_.reserve(kBufferBytes);
  chunks_.assign(static_cast<std::size_t>(sheets), {});
  sheetBytes_.assign(static_cast<std::size_t>(sheets), 0);
  return true;
}

void CellSpool::Switch(int sheet) {
  Flush();
  bufferSheet_ = sheet;
}

bool CellSpool::Flush() {
  if (buffer_.empty()) return error_ == 0;
  const std::size_t size = buffer_.size();
  if (error_ == 0 && !WriteAll(fd_, buffer_.data(), size)) error_ = errno != 0 ? errno : EIO;
  if (error_ == 0) {
    auto& chunks = chunks_[static_cast<std::size_t>(bufferSheet_)];
    if (!chunks.empty() && chunks.back().offset + chunks.back().size == fileSize_)
      chunks.back().size += size;  // the sheet goes on where it stopped
    else
      chunks.push_back({fileSize_, size});
    sheetBytes_[static_cast<std::size_t>(bufferSheet_)] += size;
    fileSize_ += size;
  }
  buffer_.clear();
  return error_ == 0;
}

}  // namespace tavo_xls
