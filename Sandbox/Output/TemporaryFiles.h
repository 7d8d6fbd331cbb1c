#pragma once
// TemporaryFiles lists the files a run makes only for itself (half-written outputs, a throw-away
// store and its journals), so that a process ended at once by a signal can still remove them:
// removeAllNow() only calls unlink(), which a signal handler may call.
// Example:
//   const int slot = TemporaryFiles::add("/tmp/.events.jsonl.tmp-123");
//   ...
//   TemporaryFiles::forget(slot);  // renamed into place, or removed by its owner
// Threading: add() and forget() from any thread; removeAllNow() also from a signal handler.

#include <string>

namespace QVRAdKit::Sandbox {

class TemporaryFiles {
 public:
  static constexpr int kSlots = 32;

  // Remembers path; answers its slot, or -1 when every slot is taken or the path is too long
  // (the file is then left behind by a process killed at once, and only then).
  [[nodiscard]] static int add(const std::string& path);
  // Forgets a slot add() answered; -1 is ignored.
  static void forget(int slot);
  // Unlinks every file remembered. Async-signal-safe.
  static void removeAllNow();
};

}  // namespace QVRAdKit::Sandbox
