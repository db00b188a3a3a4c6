#include "core/replacing_writer.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "core/file_write.h"
#include "core/huge_pages.h"

namespace lotvue {

namespace {
constexpr std::size_t kBufferRoom = ReplacingWriter::kBufferBytes + ReplacingFile::kDirectBlock;
// A direct file's buffer is one 2 MiB page, which the disk takes as one
// piece, where a buffer of 4 KiB pages goes to it in hundreds.
constexpr std::size_t kDirectBufferBytes = std::size_t{2} << 20;
}  // namespace

ReplacingWriter::Buffer ReplacingWriter::NewBuffer(std::size_t bytes) {
  const bool huge = bytes == kDirectBufferBytes;
  void* p = nullptr;
  if (::posix_memalign(&p, huge ? kDirectBufferBytes : ReplacingFile::kDirectBlock, bytes) != 0) throw std::bad_alloc();
  if (huge) AdviseHugePages(p, bytes);  // where refused, 4 KiB pages
  return Buffer(static_cast<char*>(p));
}

ReplacingWriter::ReplacingWriter()
    : buffer_(NewBuffer(kBufferRoom)), bufferBytes_(kBufferRoom), capacity_(kBufferBytes) {}

ReplacingWriter::ReplacingWriter(std::string* memory)
    : buffer_(NewBuffer(kBufferRoom)), bufferBytes_(kBufferRoom), capacity_(kBufferBytes), memory_(memory) {}

ReplacingWriter::ReplacingWriter(Hold)
    : buffer_(NewBuffer(kBufferRoom)), bufferBytes_(kBufferRoom), capacity_(kBufferBytes), holding_(true) {}

ReplacingWriter::~ReplacingWriter() { Abort(); }

bool ReplacingWriter::Open(const std::string& path, FileCaching caching) {
  Abort();
  open_ = file_.Open(path, caching);
  const bool direct = file_.direct();
  block_ = direct ? ReplacingFile::kDirectBlock : 1;
  capacity_ = direct ? kDirectBufferBytes : kBufferBytes;
  if (const std::size_t bytes = direct ? kDirectBufferBytes : kBufferRoom; bytes != bufferBytes_) {
    buffer_ = NewBuffer(bytes);
    spare_.reset();
    bufferBytes_ = bytes;
  }
  return open_;
}

void ReplacingWriter::Drain() {
  if (used_ == 0) return;
  std::size_t kept = 0;  // what stays for the next write: a direct file's part block
  if (holding_) {
    // Twice the room, so that Room(n) finds n free bytes once more.
    Buffer larger = NewBuffer(2 * capacity_ + ReplacingFile::kDirectBlock);
    std::memcpy(larger.get(), buffer_.get(), used_);
    buffer_ = std::move(larger);
    capacity_ *= 2;
    bufferBytes_ = capacity_ + ReplacingFile::kDirectBlock;
    return;
  } else if (memory_ != nullptr) {
    memory_->append(buffer_.get(), used_);
  } else if (!open_) {
    file_.Fail(EBADF);  // never opened
  } else if (used_ >= block_) {
    if (!background_) {
      if (!spare_) spare_ = NewBuffer(bufferBytes_);
      background_ = std::make_unique<BackgroundWrite>(file_);
    }
    kept = used_ % block_;
    background_->Submit(buffer_.get(), used_ - kept);
    std::swap(buffer_, spare_);
    std::memcpy(buffer_.get(), spare_.get() + (used_ - kept), kept);
  } else {
    kept = used_;
  }
  used_ = kept;
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

bool ReplacingWriter::Commit() {
  if (holding_) return true;
  if (memory_ != nullptr) {
    Drain();
    return true;
  }
  if (!open_) return false;
  if (background_) {
    Drain();
    background_->Settle();
    background_.reset();
  }
  // A small file in one write, with no thread; or a direct file's part block.
  if (used_ > 0) file_.Write(buffer_.get(), used_);
  used_ = 0;
  open_ = false;
  return file_.Commit();
}

void ReplacingWriter::Abort() {
  background_.reset();  // waits for the buffer it is writing
  file_.Discard();
  open_ = false;
  used_ = 0;
}

}  // namespace lotvue
