#include "QVRAdKit/Platform/ThreadConfinement.h"

#include <cstdio>
#include <cstdlib>

namespace QVRAdKit::Platform {

void ThreadConfinement::abortWith(const char* message) {
  std::fputs(message, stderr);
  std::abort();
}

void ThreadConfinement::usedFromAnotherThread(const char* owner) {
  std::fprintf(stderr,
               "QVRAdKit: %s confined to one thread was used from another thread; it takes no "
               "lock, so sharing it between threads would race\n",
               owner);
  std::abort();
}

}  // namespace QVRAdKit::Platform
