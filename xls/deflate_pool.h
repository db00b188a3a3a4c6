// DeflatePool: one raw deflate stream made of chunks that worker threads
// compress side by side, as pigz does. Every chunk but an entry's first is
// compressed with the 32 KB before it as its dictionary and ends with a
// sync flush (an empty stored block, byte-aligned); the entry's last chunk
// ends the stream. Put one after the other, the chunks' outputs are one
// valid deflate stream that compresses about as well as a single run.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace lotvue_xlsx {

// Bytes in a buffer that grows without clearing what it adds.
struct ByteBlock {
  std::unique_ptr<unsigned char[]> bytes;
  std::size_t size = 0;
  std::size_t capacity = 0;
  void Reserve(std::size_t n) {
    if (n <= capacity) return;
    auto bigger = std::make_unique_for_overwrite<unsigned char[]>(n);
    if (size) std::memcpy(bigger.get(), bytes.get(), size);
    bytes = std::move(bigger);
    capacity = n;
  }
};

struct DeflateChunk {
  ByteBlock data;                   // uncompressed
  std::vector<unsigned char> dict;  // the 32 KB before data in its stream (empty for the first chunk)
  bool last = false;                // ends the stream
  // Results.
  ByteBlock out;
  std::uint32_t crc = 0;  // CRC-32 of data
  bool ok = false;
  bool done = false;
};

class DeflatePool {
 public:
  // threads 0: every chunk is compressed at once by Submit.
  DeflatePool(int level, int threads);
  ~DeflatePool();  // compresses what was submitted, then stops the workers
  DeflatePool(const DeflatePool&) = delete;
  DeflatePool& operator=(const DeflatePool&) = delete;

  void Submit(DeflateChunk* chunk);
  // Until the chunk is compressed.
  void Wait(DeflateChunk* chunk);

 private:
  void Run();
  void Compress(DeflateChunk& chunk) const;

  int level_;
  std::mutex mutex_;
  std::condition_variable work_;
  std::condition_variable done_;
  std::deque<DeflateChunk*> queue_;
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace lotvue_xlsx
