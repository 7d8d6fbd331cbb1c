#include "QVRAdKit/UI/detail/LayoutMemo.h"

#include <atomic>

#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit::UI::detail {
namespace {

// Starts at 1, so that a stamp never taken never matches.
std::atomic<std::uint64_t> generation{1};
std::atomic<std::uint64_t> frames{0};
thread_local std::uint64_t framesRead = 0;

}  // namespace

void layoutChanged() {
  generation.fetch_add(1, std::memory_order_relaxed);
}

void frameChanged() {
  frames.fetch_add(1, std::memory_order_relaxed);
}

LayoutStamp currentLayoutStamp() {
  const Platform::Environment* environment = Platform::Environment::installed();
  return {generation.load(std::memory_order_relaxed), environment,
          environment ? environment->serviceVersion() : 0, frames.load(std::memory_order_relaxed)};
}

void noteFramesRead() {
  ++framesRead;
}

std::uint64_t framesReadCount() {
  return framesRead;
}

}  // namespace QVRAdKit::UI::detail
