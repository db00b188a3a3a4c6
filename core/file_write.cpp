#include "core/file_write.h"

#include <unistd.h>

#include <cerrno>

namespace lotvue {

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t done = ::write(fd, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

BackgroundWrite::BackgroundWrite(int fd) : fd_(fd), thread_([this] { Run(); }) {}

BackgroundWrite::~BackgroundWrite() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void BackgroundWrite::Submit(const char* data, std::size_t size) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  job_ = data;
  jobSize_ = size;
  busy_ = true;
  lock.unlock();
  changed_.notify_all();
}

bool BackgroundWrite::Settle() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  return !failed_;
}

void BackgroundWrite::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return busy_ || stop_; });
    if (!busy_) return;
    const char* data = job_;
    const std::size_t size = jobSize_;
    lock.unlock();
    // After a failure the rest is passed over: the file is lost anyway.
    const bool ok = failed_ || WriteAll(fd_, data, size);
    lock.lock();
    failed_ = failed_ || !ok;
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace lotvue
