#pragma once
// A full disk for tests, without privileges, a special file system or a preloaded library: the process's
// file-size limit (RLIMIT_FSIZE) lowered for one scope. A write past it fails with EFBIG, or raises
// SIGXFSZ and ends the process when the writer does not stop short of the limit itself.

#include <sys/resource.h>

namespace corvane::lha::test {

class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    if (::getrlimit(RLIMIT_FSIZE, &saved_) != 0) return;
    if (saved_.rlim_max != RLIM_INFINITY && bytes > saved_.rlim_max) return;
    struct rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    active_ = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~TFileSizeLimit() {
    if (active_) ::setrlimit(RLIMIT_FSIZE, &saved_);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
  // False when the limit could not be lowered (a lower hard limit): the test then has nothing to show.
  bool Active() const { return active_; }

 private:
  struct rlimit saved_ {};
  bool active_ = false;
};

}  // namespace corvane::lha::test
