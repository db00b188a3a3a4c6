// Output made in chunks by two threads: formatting that costs several times
// what copying costs runs on a helper thread for every second chunk while
// the calling thread formats the others, and the bytes still come out in
// chunk order.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "core/replacing_writer.h"

namespace lotvue {

// Calls write(c, sink) for the chunks c = 0 .. chunks - 1 and puts their
// bytes into out in chunk order. The even chunks are written on the calling
// thread straight into out; the odd ones on one helper thread into holding
// writers, whose bytes the calling thread copies in when their turn comes
// (with one chunk, or without a thread to be had, every chunk on the calling
// thread). So two calls may run at once, never two for chunks of the same
// parity.
void WriteChunksInTwo(std::size_t chunks, const std::function<void(std::size_t chunk, ReplacingWriter& sink)>& write,
                      ReplacingWriter& out);

// The memory the helper thread writes its chunks into. A caller that calls
// WriteChunksInTwo again and again keeps one, so that it is allocated (and
// its pages touched) once.
struct ChunkMemory {
  // Chunks the helper may be ahead of the calling thread by.
  static constexpr std::size_t kSlots = 3;
  std::unique_ptr<ReplacingWriter> held[kSlots];  // ReplacingWriter::Hold, made on first use
};
void WriteChunksInTwo(std::size_t chunks, const std::function<void(std::size_t chunk, ReplacingWriter& sink)>& write,
                      ReplacingWriter& out, ChunkMemory& memory);

}  // namespace lotvue
