#include "core/replacing_writer.h"

#include <algorithm>
#include <cerrno>

#include "core/file_write.h"

namespace lotvue {

ReplacingWriter::ReplacingWriter() : buffer_(new char[kBufferBytes]), capacity_(kBufferBytes) {}

ReplacingWriter::ReplacingWriter(std::string* memory)
    : buffer_(new char[kBufferBytes]), capacity_(kBufferBytes), memory_(memory) {}

ReplacingWriter::~ReplacingWriter() { Abort(); }

bool ReplacingWriter::Open(const std::string& path) {
  Abort();
  open_ = file_.Open(path);
  return open_;
}

void ReplacingWriter::Drain() {
  if (used_ == 0) return;
  if (memory_ != nullptr) {
    memory_->append(buffer_.get(), used_);
  } else if (!open_) {
    file_.Fail(EBADF);  // never opened
  } else {
    if (!background_) {
      spare_.reset(new char[capacity_]);
      background_ = std::make_unique<BackgroundWrite>(file_);
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

bool ReplacingWriter::Commit() {
  if (memory_ != nullptr) {
    Drain();
    return true;
  }
  if (!open_) return false;
  if (background_) {
    Drain();
    background_->Settle();
    background_.reset();
  } else {
    file_.Write(buffer_.get(), used_);  // a small file: one write, no thread
  }
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
