#pragma once
// EmissionFrame marks, per thread, the subjects that are emitting on that thread right now: each
// emission pushes a frame on the thread's stack of frames and pops it when it returns. A subject
// destroyed by one of its own subscribers (the only way it can die while it emits: its owner calls
// it, so another thread destroying it meanwhile would already be a use after free) finds its
// frames here, marks them, and hands them the subscriber lists they are still walking, so the
// emission finishes on memory that stays valid and then returns without touching the subject.
// Threading: a frame belongs to the thread that pushed it.

#include <memory>
#include <vector>

namespace QVRAdKit::Rx::detail {

class EmissionFrame {
 public:
  explicit EmissionFrame(const void* emitter) noexcept : emitter_(emitter), outer_(innermost()) {
    innermost() = this;
  }
  EmissionFrame(const EmissionFrame&) = delete;
  EmissionFrame& operator=(const EmissionFrame&) = delete;
  ~EmissionFrame() { innermost() = outer_; }

  // True once the emitter was destroyed during this emission.
  [[nodiscard]] bool emitterDestroyed() const noexcept { return emitterDestroyed_; }

  // Called by a dying emitter: marks its frames on this thread and returns the outermost one (it
  // ends last), which should keep whatever the emissions still use; null when none is emitting.
  static EmissionFrame* markDestroyed(const void* emitter) noexcept {
    EmissionFrame* outermost = nullptr;
    for (EmissionFrame* frame = innermost(); frame != nullptr; frame = frame->outer_) {
      if (frame->emitter_ != emitter) continue;
      frame->emitterDestroyed_ = true;
      outermost = frame;
    }
    return outermost;
  }

  // Held until the frame ends.
  void keepAlive(std::shared_ptr<const void> object) { keptAlive_.push_back(std::move(object)); }

 private:
  static EmissionFrame*& innermost() noexcept {
    thread_local EmissionFrame* frame = nullptr;
    return frame;
  }

  const void* const emitter_;
  EmissionFrame* const outer_;
  bool emitterDestroyed_ = false;
  std::vector<std::shared_ptr<const void>> keptAlive_;
};

}  // namespace QVRAdKit::Rx::detail
