#include "core/file_write.h"

#include "core/replacing_file.h"

namespace lotvue {

BackgroundWrite::BackgroundWrite(ReplacingFile& file) : file_(file), thread_([this] { Run(); }) {}

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
  return file_.error() == 0;
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
    file_.Write(data, size);
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace lotvue
