// ReplacingFile: a new file that takes the place of an old one only once it
// is complete. Every output of the program (books, CSV files, the settings
// and language files) is written through one, so that an old file stays as
// it was whatever happens meanwhile: a full disk, a failing write, fsync or
// close, or the process killed at any moment.
//
// How: the bytes go to an unnamed file (O_TMPFILE) in the target's folder,
// which vanishes by itself if the process dies. Once everything is written
// and flushed to disk it is linked in under a short hidden name
// (".lotvue-PID-N.tmp") and renamed over the target in one step. File
// systems without unnamed files get the hidden name from the start. A
// hidden file is locked (flock) by its writer from before it has a name
// until the rename; the first ReplacingFile of a process in a folder
// removes the unlocked ones, which a killed process left behind.
//
// The target is the file a symbolic link at the path leads to (as opening
// the path for writing would); the link stays. Temporary names are created
// exclusively and never follow a link.
//
// This file is compiled into the core and, as its own copy, into the
// spreadsheet library, which links nothing of the core.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lotvue {

// How a file's bytes reach the disk: through the page cache, or straight
// from the writer's memory (O_DIRECT) for large streams that nothing reads
// back at once: no copy into the cache, no flush of it at Commit, and no
// cache of the old file to drop when the next run replaces it.
enum class FileCaching { kCached, kDirect };

class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile() { Discard(); }
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Direct writes go in whole blocks of this many bytes, from memory aligned to it.
  static constexpr std::size_t kDirectBlock = 4096;

  // Prepares the replacement of path. False, with error() set, when the
  // target cannot be replaced (ReplaceBlocker) or its folder takes no new file.
  // kDirect: on the file systems of local disks (ext4, XFS, Btrfs), Write
  // sends whole blocks from aligned memory at a block offset straight to the
  // disk; anything else (the tail), and everything on other file systems,
  // goes through the cache as usual.
  bool Open(const std::string& path, FileCaching caching = FileCaching::kCached);
  // The temporary file, for writers that write to it themselves.
  int fd() const { return fd_; }
  // Writes every byte; false (error() set) when the file refuses. Once a
  // write has failed, later ones do nothing.
  bool Write(const void* data, std::size_t size);
  // Records a failure of a write made through fd().
  void Fail(int error);
  // Flushes the file to disk, closes it and puts it in place of the target.
  // False, with error() set, when anything failed; the target is then as it
  // was and the temporary file is gone.
  bool Commit();
  // Drops the temporary file; the target stays as it was.
  void Discard();

  // errno of the first failure (0 when none).
  int error() const { return error_; }
  // Whether writes of whole blocks still go straight to the disk.
  bool direct() const { return direct_; }
  // The file that is replaced (links followed).
  const std::string& target() const { return target_; }

 private:
  // Writes through the cache from here on.
  void StopDirect();

  std::string target_;
  std::string hidden_;  // the temporary's name once it has one
  int fd_ = -1;
  int error_ = 0;
  bool exists_ = false;  // the target existed at Open
  bool direct_ = false;  // the file is open for direct writes (O_DIRECT)
  // Bytes written so far, and how many of them the disk has been asked to take.
  std::uint64_t written_ = 0;
  std::uint64_t flushing_ = 0;
};

// Why the file at path could not be replaced: 0 when it can (or does not
// exist), EISDIR for a folder, EACCES when it is read-only (no write
// permission bit, which holds for every user, root included, as a
// read-only file cannot be deleted on the systems the files travel to) or
// its folder refuses changes; the folder's own errno otherwise.
int ReplaceBlocker(const std::string& path);

// path with every symbolic link of its last component followed (the file
// opening it for writing would create or change); path itself when no link.
std::string FollowLinks(const std::string& path);

}  // namespace lotvue
