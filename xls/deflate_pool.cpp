#include "xls/deflate_pool.h"

#include <system_error>

#include <zlib.h>

namespace lotvue_xlsx {

DeflatePool::DeflatePool(int level, int threads) : level_(level) {
  try {
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Run(); });
  } catch (const std::system_error&) {
    // Fewer workers (or none: Submit compresses) when no thread can be made.
  }
}

DeflatePool::~DeflatePool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void DeflatePool::Submit(DeflateChunk* chunk) {
  chunk->done = false;
  if (threads_.empty()) {
    Compress(*chunk);
    chunk->done = true;
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(chunk);
  }
  work_.notify_one();
}

void DeflatePool::Wait(DeflateChunk* chunk) {
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [chunk] { return chunk->done; });
}

void DeflatePool::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and nothing left
    DeflateChunk* chunk = queue_.front();
    queue_.pop_front();
    lock.unlock();
    Compress(*chunk);
    lock.lock();
    chunk->done = true;
    done_.notify_all();
  }
}

void DeflatePool::Compress(DeflateChunk& c) const {
  c.ok = false;
  c.out.size = 0;
  c.crc = static_cast<std::uint32_t>(crc32_z(0, c.data.bytes.get(), c.data.size));
  z_stream z{};
  // Raw deflate (negative window bits): ZIP keeps its own CRC and headers.
  if (deflateInit2(&z, level_, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return;
  if (c.dict.empty() ||
      deflateSetDictionary(&z, c.dict.data(), static_cast<uInt>(c.dict.size())) == Z_OK) {
    c.out.Reserve(deflateBound(&z, c.data.size) + 64);
    z.next_in = c.data.bytes.get();
    z.avail_in = static_cast<uInt>(c.data.size);
    z.next_out = c.out.bytes.get();
    z.avail_out = static_cast<uInt>(c.out.capacity);
    const int rc = deflate(&z, c.last ? Z_FINISH : Z_SYNC_FLUSH);
    c.ok = (c.last ? rc == Z_STREAM_END : rc == Z_OK && z.avail_out != 0) && z.avail_in == 0;
    c.out.size = c.out.capacity - z.avail_out;
  }
  deflateEnd(&z);
}

}  // namespace lotvue_xlsx
