#include "QVRAdKit/UI/detail/LayoutMemo.h"

#include <atomic>

#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit::UI::detail {
namespace {

// Starts at 1, so that a stamp never taken never matches.
std::atomic<std::uint64_t> generation{1};

}  // namespace

void layoutChanged() {
  generation.fetch_add(1, std::memory_order_relaxed);
}

LayoutStamp currentLayoutStamp() {
  const Platform::Environment* environment = Platform::Environment::installed();
  return {generation.load(std::memory_order_relaxed), environment,
          environment ? environment->serviceVersion() : 0};
}

}  // namespace QVRAdKit::UI::detail
