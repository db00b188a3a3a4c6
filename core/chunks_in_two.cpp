#include "core/chunks_in_two.h"

#include <algorithm>
#include <condition_variable>
#include <iterator>
#include <cstdint>
#include <mutex>
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
  // The helper fills the slots in turn, so that it can go on with the next
  // chunks while this thread copies the earlier ones; each slot keeps its
  // writer and the writer's memory from chunk to chunk. A slot's writer
  // belongs to the helper while the slot is free, to this thread while it
  // holds a chunk.
  constexpr std::size_t kFree = SIZE_MAX;
  std::size_t slotChunk[ChunkMemory::kSlots];  // the chunk each slot holds, or kFree
  std::fill(std::begin(slotChunk), std::end(slotChunk), kFree);
  std::mutex mutex;
  std::condition_variable changed;
  bool stop = false;
  const auto slotOf = [](std::size_t c) { return (c / 2) % ChunkMemory::kSlots; };
  const auto helper = [&] {
    for (std::size_t c = 1; c < chunks; c += 2) {
      const std::size_t s = slotOf(c);
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return slotChunk[s] == kFree || stop; });
        if (stop) return;
      }
      std::unique_ptr<ReplacingWriter>& held = memory.held[s];
      if (!held) held = std::make_unique<ReplacingWriter>(ReplacingWriter::Hold{});
      held->Clear();
      write(c, *held);
      {
        std::lock_guard lock(mutex);
        slotChunk[s] = c;
      }
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
    const std::size_t s = slotOf(c);
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return slotChunk[s] == c; });
    }
    out.Put(memory.held[s]->Held());
    {
      std::lock_guard lock(mutex);
      slotChunk[s] = kFree;
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
