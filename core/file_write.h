// Writing a file buffer by buffer on a thread of its own while the caller
// fills the next buffer.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

namespace lotvue {

class ReplacingFile;

// A thread that writes the buffers handed to it, in order, one at a time.
// The caller keeps each buffer unchanged until the next Submit or Settle
// returns, so two buffers in turn are enough.
class BackgroundWrite {
 public:
  explicit BackgroundWrite(ReplacingFile& file);
  // Waits for the buffer being written, then ends the thread.
  ~BackgroundWrite();
  BackgroundWrite(const BackgroundWrite&) = delete;
  BackgroundWrite& operator=(const BackgroundWrite&) = delete;

  // Hands over a buffer once the one handed over before is written.
  void Submit(const char* data, std::size_t size);
  // Waits for the last buffer; false when any write failed (the file's error() says why).
  bool Settle();

 private:
  void Run();

  ReplacingFile& file_;  // written by the thread only while it holds a buffer
  std::mutex mutex_;
  std::condition_variable changed_;
  const char* job_ = nullptr;
  std::size_t jobSize_ = 0;
  bool busy_ = false;
  bool stop_ = false;
  std::thread thread_;  // last: starts once everything above is in place
};

}  // namespace lotvue
