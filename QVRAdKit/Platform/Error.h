#pragma once
// Error is the value in which failures travel through completions, delegate callbacks and
// analytics: a domain, an integer code and a text for people.

#include <cstdint>
#include <string>

namespace QVRAdKit::Platform {

struct Error {
  std::string domain;
  std::int64_t code = 0;
  std::string localizedDescription;

  bool operator==(const Error&) const = default;
};

}  // namespace QVRAdKit::Platform
