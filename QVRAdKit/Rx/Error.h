#pragma once
// Error is what a stream may end with. Streams carry any exception object without throwing it.

#include <exception>

namespace QVRAdKit::Rx {

using Error = std::exception_ptr;

}  // namespace QVRAdKit::Rx
