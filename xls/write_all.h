// WriteAll: the one loop of the library that puts bytes into a file.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace tavo_xls {

// Writes every byte (a write cut short or interrupted goes on); false when
// the file refuses.
inline bool WriteAll(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t done = ::write(fd, p, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    p += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

}  // namespace tavo_xls
