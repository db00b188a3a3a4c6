/* A full or failing disk for one folder, loaded into lotvue-cli with
 * LD_PRELOAD. Files whose path lies under LOTVUE_FAULT_DIR fail as the
 * variables say; every other file works as usual.
 *   LOTVUE_FAULT        write (write and copy_file_range), fsync or close
 *   LOTVUE_FAULT_ERRNO  the error number the call fails with
 *   LOTVUE_FAULT_AFTER  bytes written to such files before writes fail (write only) */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

static long long budget = -1; /* bytes left before writes fail; -1 until read */

static int Faulty(int fd, const char* call) {
  const char* want = getenv("LOTVUE_FAULT");
  const char* dir = getenv("LOTVUE_FAULT_DIR");
  if (!want || !dir || strcmp(want, call) != 0) return 0;
  char link[64], path[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = readlink(link, path, sizeof path - 1);
  if (n <= 0) return 0;
  path[n] = '\0';
  return strncmp(path, dir, strlen(dir)) == 0;
}

static int FaultErrno(void) {
  const char* e = getenv("LOTVUE_FAULT_ERRNO");
  return e ? atoi(e) : EIO;
}

/* Whether a write of size bytes to fd fails; takes what is left of the budget. */
static int WriteFails(int fd, size_t size, size_t* allowed) {
  *allowed = size;
  if (!Faulty(fd, "write")) return 0;
  if (budget < 0) budget = getenv("LOTVUE_FAULT_AFTER") ? atoll(getenv("LOTVUE_FAULT_AFTER")) : 0;
  if (budget == 0) return 1;
  if ((long long)size > budget) *allowed = (size_t)budget;
  budget -= (long long)*allowed;
  return 0;
}

#define REAL(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

ssize_t write(int fd, const void* data, size_t size) {
  size_t allowed;
  if (WriteFails(fd, size, &allowed)) {
    errno = FaultErrno();
    return -1;
  }
  return REAL(write)(fd, data, allowed);
}

ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t size, unsigned flags) {
  size_t allowed;
  if (WriteFails(out, size, &allowed)) {
    errno = FaultErrno();
    return -1;
  }
  return REAL(copy_file_range)(in, inOffset, out, outOffset, allowed, flags);
}

int fsync(int fd) {
  if (Faulty(fd, "fsync")) {
    errno = FaultErrno();
    return -1;
  }
  return REAL(fsync)(fd);
}

int close(int fd) {
  const int faulty = Faulty(fd, "close");
  const int result = REAL(close)(fd); /* the descriptor is gone either way, as on Linux */
  if (faulty) {
    errno = FaultErrno();
    return -1;
  }
  return result;
}
