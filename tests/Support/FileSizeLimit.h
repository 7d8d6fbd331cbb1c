#pragma once
// FileSizeLimit makes every file this process writes stop growing at a size, as a full disk
// would: a write past it fails with EFBIG instead of raising SIGXFSZ. The old limit and signal
// disposition come back when it goes, even when an assertion ends the test early.
// Example: { FileSizeLimit limit(1000); ... a write of 5000 bytes fails ... }

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>

namespace QVRAdKit::Testing {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &old_), 0);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old_;
    small.rlim_cur = bytes;
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  struct rlimit old_ {};
  void (*oldHandler_)(int) = SIG_DFL;
};

}  // namespace QVRAdKit::Testing
