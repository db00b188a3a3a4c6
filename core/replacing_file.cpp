#include "core/replacing_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace lotvue {

namespace {

constexpr std::string_view kHiddenPrefix = ".lotvue-";
constexpr std::string_view kHiddenSuffix = ".tmp";
constexpr int kNameAttempts = 100;

std::atomic<unsigned> hiddenCounter{0};

// The folder part of a path with its trailing "/"; "" for a bare name.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string OpenableFolder(const std::string& folder) { return folder.empty() ? std::string(".") : folder; }

// A short name of our own, whatever the length of the target's name.
std::string HiddenName(const std::string& folder) {
  return folder + std::string(kHiddenPrefix) + std::to_string(::getpid()) + "-" +
         std::to_string(hiddenCounter.fetch_add(1)) + std::string(kHiddenSuffix);
}

bool IsHiddenTemporary(std::string_view name) {
  return name.size() > kHiddenPrefix.size() + kHiddenSuffix.size() && name.substr(0, kHiddenPrefix.size()) == kHiddenPrefix &&
         name.substr(name.size() - kHiddenSuffix.size()) == kHiddenSuffix;
}

// Unnamed files can be linked in only through /proc.
bool CanLinkUnnamedFiles() {
  static const bool can = ::access("/proc/self/fd", X_OK) == 0;
  return can;
}

// Removes the hidden temporaries in the folder that no writer holds: those
// of killed processes. Once per folder and process.
void RemoveLeftovers(const std::string& folder) {
  // Held through the scan: no other thread of this process makes its
  // temporary (unlocked for a moment) while the folder is looked through.
  static std::mutex mutex;
  static std::set<std::string> done;
  std::lock_guard lock(mutex);
  if (!done.insert(folder).second) return;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const int dirFd = ::dirfd(dir);
  // Our own process's temporaries are never leftovers: another thread, or the
  // spreadsheet library's copy of this code, may be between closing one (which
  // drops its lock) and renaming it over its target.
  const std::string ours = std::string(kHiddenPrefix) + std::to_string(::getpid()) + "-";
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsHiddenTemporary(entry->d_name) || std::string_view(entry->d_name).starts_with(ours)) continue;
    const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {}, named {};
    // Unlocked means its writer is gone; the name must still be that file.
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino)
      ::unlinkat(dirFd, entry->d_name, 0);
    ::close(fd);
  }
  ::closedir(dir);
}

// Asks for direct writes on fd where they are known to pay: the file
// systems of local disks. Elsewhere (a network share that commits each
// direct write on the server, say) false, and the cache stays.
bool StartDirect(int fd) {
  struct statfs fs {};
  if (::fstatfs(fd, &fs) != 0) return false;
  if (fs.f_type != EXT4_SUPER_MAGIC && fs.f_type != XFS_SUPER_MAGIC && fs.f_type != BTRFS_SUPER_MAGIC) return false;
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_DIRECT) == 0;
}

// Makes the rename itself last; a failure here changes nothing that matters.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string FollowLinks(const std::string& path) {
  std::string p = path;
  for (int hops = 0; hops < 40; ++hops) {  // the kernel's own limit
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    char to[PATH_MAX];
    const ssize_t n = ::readlink(p.c_str(), to, sizeof to);
    if (n <= 0 || static_cast<std::size_t>(n) == sizeof to) return p;
    p = to[0] == '/' ? std::string(to, static_cast<std::size_t>(n)) : FolderOf(p) + std::string(to, static_cast<std::size_t>(n));
  }
  return p;
}

int ReplaceBlocker(const std::string& path) {
  const std::string target = FollowLinks(path);
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if ((st.st_mode & 0222) == 0) return EACCES;
    if (::access(target.c_str(), W_OK) != 0) return errno;
  } else if (errno != ENOENT) {
    return errno;
  }
  if (::access(OpenableFolder(FolderOf(target)).c_str(), W_OK | X_OK) != 0) return errno;
  return 0;
}

bool ReplacingFile::Open(const std::string& path, FileCaching caching) {
  Discard();
  error_ = 0;
  direct_ = false;
  written_ = flushing_ = 0;
  target_ = FollowLinks(path);
  if (const int blocker = ReplaceBlocker(target_)) {
    error_ = blocker;
    return false;
  }
  struct stat old {};
  exists_ = ::stat(target_.c_str(), &old) == 0;
  const std::string folder = FolderOf(target_);
  RemoveLeftovers(OpenableFolder(folder));
  if (CanLinkUnnamedFiles()) fd_ = ::open(OpenableFolder(folder).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  for (int attempt = 0; fd_ < 0 && attempt < kNameAttempts; ++attempt) {
    hidden_ = HiddenName(folder);
    fd_ = ::open(hidden_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    error_ = errno;
    hidden_.clear();
    return false;
  }
  ::flock(fd_, LOCK_EX);
  if (exists_) {
    // The new file keeps the old one's owner (where we may set it) and permissions.
    if (::fchown(fd_, old.st_uid, old.st_gid) != 0) {
    }
    ::fchmod(fd_, old.st_mode & 07777);
  }
  direct_ = caching == FileCaching::kDirect && StartDirect(fd_);
  return true;
}

void ReplacingFile::StopDirect() {
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_DIRECT);
  direct_ = false;
}

bool ReplacingFile::Write(const void* data, std::size_t size) {
  if (error_ != 0) return false;
  if (fd_ < 0) {
    error_ = EBADF;
    return false;
  }
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    if (direct_ && ((reinterpret_cast<std::uintptr_t>(p) | size | written_) % kDirectBlock) != 0) StopDirect();
    const ssize_t done = ::write(fd_, p, size);
    if (done < 0 && errno == EINTR) continue;
    if (done < 0 && errno == EINVAL && direct_) {
      StopDirect();  // the file system wants other blocks: the cache takes the rest
      continue;
    }
    if (done <= 0) {
      error_ = done < 0 ? errno : EIO;
      return false;
    }
    p += done;
    size -= static_cast<std::size_t>(done);
    written_ += static_cast<std::uint64_t>(done);
  }
  // The disk starts on what is written, a few megabytes at a time, without
  // waiting for it: the flush at Commit then only waits for the tail instead
  // of the whole file, and the disk works while the next bytes are made.
  constexpr std::uint64_t kFlushStep = std::uint64_t{8} << 20;
  // Direct writes are on the disk when they return.
  if (direct_) {
    flushing_ = written_;
  } else if (written_ - flushing_ >= kFlushStep) {
    ::sync_file_range(fd_, static_cast<off_t>(flushing_), static_cast<off_t>(written_ - flushing_), SYNC_FILE_RANGE_WRITE);
    flushing_ = written_;
  }
  return true;
}

void ReplacingFile::Fail(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
}

bool ReplacingFile::Commit() {
  if (fd_ < 0) {
    Fail(EBADF);
    return false;
  }
  if (error_ == 0 && ::fsync(fd_) != 0) error_ = errno;
  const std::string folder = FolderOf(target_);
  if (error_ == 0 && hidden_.empty()) {
    // The unnamed file gets its hidden name only now, complete and locked.
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; hidden_.empty() && error_ == 0; ++attempt) {
      std::string name = HiddenName(folder);
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        hidden_ = std::move(name);
      else if (errno != EEXIST || attempt + 1 == kNameAttempts)
        error_ = errno;
    }
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && error_ == 0) error_ = errno;
  if (error_ == 0 && ::rename(hidden_.c_str(), target_.c_str()) != 0) error_ = errno;
  if (!hidden_.empty() && error_ != 0) ::unlink(hidden_.c_str());
  hidden_.clear();
  if (error_ != 0) return false;
  SyncFolder(OpenableFolder(folder));
  return true;
}

void ReplacingFile::Discard() {
  if (!hidden_.empty()) ::unlink(hidden_.c_str());  // before closing: still ours
  hidden_.clear();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace lotvue
