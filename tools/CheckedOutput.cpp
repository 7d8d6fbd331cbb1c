#include "tools/CheckedOutput.h"

#include <cerrno>
#include <cstring>

namespace QVRAdKit::Sandbox {

void CheckedOutput::put(std::string_view what, std::string_view text) {
  if (failure_) return;
  // errno cleared first: what the stream does not say, the write that failed in this call did.
  errno = 0;
  out_.write(text.data(), static_cast<std::streamsize>(text.size()));
  check(what);
}

void CheckedOutput::flush(std::string_view what) {
  if (failure_) return;
  errno = 0;
  out_.flush();
  check(what);
}

void CheckedOutput::check(std::string_view what) {
  if (out_) return;
  const int cause = errno;
  failure_ = "cannot write " + std::string(what) +
             " to standard output: " + (cause != 0 ? std::strerror(cause) : "the stream failed");
}

}  // namespace QVRAdKit::Sandbox
