/* A library the CLI tests preload into corvane-cli to stand in for a full disk without root: writes to
 * files inside the folder named by CORVANE_FULL_DISK_DIR fail with ENOSPC once the process has written
 * CORVANE_FULL_DISK_ALLOW bytes there (default 0). Other files are written as usual. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

static unsigned long long written;

/* Whether count more bytes to fd find the disk full. */
static int DiskFull(int fd, size_t count) {
  const char* folder = getenv("CORVANE_FULL_DISK_DIR");
  if (folder == NULL || folder[0] == '\0') return 0;
  char link[64], target[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t size = readlink(link, target, sizeof target - 1);
  if (size < 0) return 0;
  target[size] = '\0';
  const size_t length = strlen(folder);
  if (strncmp(target, folder, length) != 0 || (target[length] != '/' && target[length] != '\0')) return 0;
  const char* allow = getenv("CORVANE_FULL_DISK_ALLOW");
  const unsigned long long limit = allow != NULL ? strtoull(allow, NULL, 10) : 0;
  if (written + count > limit) return 1;
  written += count;
  return 0;
}

ssize_t write(int fd, const void* data, size_t count) {
  static ssize_t (*next)(int, const void*, size_t);
  if (next == NULL) next = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
  if (count > 0 && DiskFull(fd, count)) {
    errno = ENOSPC;
    return -1;
  }
  return next(fd, data, count);
}

ssize_t pwrite(int fd, const void* data, size_t count, off_t offset) {
  static ssize_t (*next)(int, const void*, size_t, off_t);
  if (next == NULL) next = (ssize_t(*)(int, const void*, size_t, off_t))dlsym(RTLD_NEXT, "pwrite");
  if (count > 0 && DiskFull(fd, count)) {
    errno = ENOSPC;
    return -1;
  }
  return next(fd, data, count, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t count, off_t offset) {
  return pwrite(fd, data, count, offset);
}

ssize_t writev(int fd, const struct iovec* pieces, int number) {
  static ssize_t (*next)(int, const struct iovec*, int);
  if (next == NULL) next = (ssize_t(*)(int, const struct iovec*, int))dlsym(RTLD_NEXT, "writev");
  size_t count = 0;
  for (int i = 0; i < number; ++i) count += pieces[i].iov_len;
  if (count > 0 && DiskFull(fd, count)) {
    errno = ENOSPC;
    return -1;
  }
  return next(fd, pieces, number);
}
