#include "core/chunks_in_two.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace lotvue {

void WriteChunksInTwo(std::size_t chunks, const std::function<void(std::size_t chunk, ReplacingWriter& sink)>& write,
                      ReplacingWriter& out) {
  ChunkMemory memory;
  WriteChunksInTwo(chunks, write, out, memory);
}

void WriteChunksInTwo(std::size_t chunks, const std::function<void(std::size_t chunk, ReplacingWriter& sink)>& write,
                      ReplacingWriter& out, ChunkMemory& memory) {
  // The helper fills two slots in turn, so that it can go on with the next
  // chunk while this thread copies the last one; each slot keeps its memory
  // and its writer from chunk to chunk.
  struct Slot {
    std::string& bytes;
    std::size_t chunk = SIZE_MAX;  // the chunk the bytes hold, SIZE_MAX while free
  };
  Slot slots[2] = {{memory.bytes[0]}, {memory.bytes[1]}};
  std::mutex mutex;
  std::condition_variable changed;
  bool stop = false;
  const auto helper = [&] {
    std::string* const spare = memory.bytes + 2;
    ReplacingWriter writers[2] = {ReplacingWriter(&spare[0]), ReplacingWriter(&spare[1])};
    for (std::size_t c = 1; c < chunks; c += 2) {
      const std::size_t s = (c / 2) % 2;
      spare[s].clear();
      write(c, writers[s]);
      writers[s].Commit();
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return slots[s].chunk == SIZE_MAX || stop; });
      if (stop) return;
      slots[s].bytes.swap(spare[s]);
      slots[s].chunk = c;
      lock.unlock();
      changed.notify_all();
    }
  };
  std::thread thread;
  try {
    if (chunks >= 2) thread = std::thread(helper);
  } catch (const std::system_error&) {
  }
  if (!thread.joinable()) {
    for (std::size_t c = 0; c < chunks; ++c) write(c, out);
    return;
  }
  for (std::size_t c = 0; c < chunks; ++c) {
    if (c % 2 == 0) {
      write(c, out);
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

}  // namespace lotvue
