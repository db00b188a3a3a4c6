// ReplacingWriter: buffered output that puts a new file in place of the old
// one only once it has been written completely. The bytes go to a
// ReplacingFile, which Commit puts in place of the target; until then an
// existing file stays as it was, and a writer that is aborted or destroyed
// without a successful Commit leaves nothing behind.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "core/replacing_file.h"

namespace lotvue {

class BackgroundWrite;

// Not for use by more than one thread.
class ReplacingWriter {
 public:
  static constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

  ReplacingWriter();
  // Collects the bytes in *memory instead of a file (tests, previews).
  explicit ReplacingWriter(std::string* memory);
  // Keeps the bytes in its own memory, which grows as they come, until
  // Clear: a stretch of output that a caller takes in one piece (Held)
  // without a copy in between.
  struct Hold {};
  explicit ReplacingWriter(Hold);
  ~ReplacingWriter();
  ReplacingWriter(const ReplacingWriter&) = delete;
  ReplacingWriter& operator=(const ReplacingWriter&) = delete;

  // False when the target cannot be written: its folder does not exist or
  // refuses new files, or it exists and is a folder or is read-only (no
  // write permission bit, which holds for every user, root included).
  // A link is followed: the file it names is the one replaced. kDirect:
  // for large streams, past the first buffer written straight to the disk
  // (ReplacingFile), in whole blocks; the tail goes through the cache.
  bool Open(const std::string& path, FileCaching caching = FileCaching::kCached);
  // errno of the first failure of Open, a write or Commit (0 when none).
  int error() const { return file_.error(); }

  void Put(std::string_view bytes) {
    if (bytes.size() <= capacity_ - used_) {
      if (!bytes.empty()) std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
      used_ += bytes.size();
    } else {
      PutSlow(bytes);
    }
  }
  void Put(char c) {
    if (used_ == capacity_) Drain();
    buffer_[used_++] = c;
  }
  // At least n (at most kBufferBytes) free bytes to format into; Advance(k)
  // then keeps the first k of them.
  char* Room(std::size_t n) {
    if (capacity_ - used_ < n) Drain();
    return buffer_.get() + used_;
  }
  void Advance(std::size_t n) { used_ += n; }

  // Writes what is left and puts the file, flushed to disk, in place of the
  // target. False when any write, the flush or the close failed; the target
  // is then unchanged and the temporary file is gone.
  bool Commit();
  // Drops what was written: the target stays as it was.
  void Abort();

  // A holding writer's bytes, and dropping them (its memory stays).
  std::string_view Held() const { return {buffer_.get(), used_}; }
  void Clear() { used_ = 0; }

 private:
  // Buffers start at a direct write block, so that direct writes can take
  // them as they are; a direct file's are larger, one 2 MiB page each.
  struct FreeBuffer {
    void operator()(char* p) const { std::free(p); }
  };
  using Buffer = std::unique_ptr<char[], FreeBuffer>;
  static Buffer NewBuffer(std::size_t bytes);

  void PutSlow(std::string_view bytes);
  void Drain();

  Buffer buffer_;
  // Files past the first buffer are written by a thread of their own, one
  // buffer behind, while the spare buffer fills.
  Buffer spare_;
  std::unique_ptr<BackgroundWrite> background_;
  std::size_t bufferBytes_ = 0;  // the size of buffer_ and spare_
  // A direct file takes whole blocks: its buffers hold more than kBufferBytes,
  // for the part block that stays behind when one is handed over.
  std::size_t capacity_ = 0;
  std::size_t block_ = 1;
  std::size_t used_ = 0;
  std::string* memory_ = nullptr;
  bool holding_ = false;
  ReplacingFile file_;
  bool open_ = false;
};

}  // namespace lotvue
