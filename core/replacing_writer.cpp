#include "core/replacing_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "core/file_write.h"
#include "core/number_text.h"

namespace lotvue {

namespace {

std::atomic<unsigned> tempCounter{0};

// The folder part of a path with its trailing "/" ("" for a bare name).
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return path.substr(0, slash + 1);
}

}  // namespace

ReplacingWriter::ReplacingWriter() : buffer_(new char[kBufferBytes]), capacity_(kBufferBytes) {}

ReplacingWriter::ReplacingWriter(std::string* memory)
    : buffer_(new char[kBufferBytes]), capacity_(kBufferBytes), memory_(memory) {}

ReplacingWriter::~ReplacingWriter() { Abort(); }

bool ReplacingWriter::Open(const std::string& path) {
  Abort();
  failed_ = false;
  target_ = path;
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

bool ReplacingWriter::Commit() {
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

void ReplacingWriter::Abort() {
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

}  // namespace lotvue
