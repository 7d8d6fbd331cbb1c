#pragma once
// TemporaryFiles lists the files a run makes only for itself (half-written outputs, a throw-away
// store and its journals), so that a process ended at once by a signal can still remove them:
// removeAllNow() only calls unlink(), which a signal handler may call.
// Example:
//   const int slot = TemporaryFiles::add("/tmp/.events.jsonl.tmp-123");
//   ...
//   TemporaryFiles::forget(slot);  // renamed into place, or removed by its owner
// Threading: add() and forget() from any thread; removeAllNow() also from a signal handler.

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

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

  // A temporary's name carries the process that made it, prefix + tag() + more, so that what a
  // process killed outright leaves (nothing removes it then) can be told from what a live one is
  // writing: "PID-".
  [[nodiscard]] static std::string tag();
  // Removes the files in directory named prefix + "PID-" + ... + one of suffixes whose process
  // PID is gone (this process's own are kept); answers how many. Names without a process and
  // files that cannot be removed are left.
  static int sweep(const std::filesystem::path& directory, std::string_view prefix,
                   std::initializer_list<std::string_view> suffixes);
};

}  // namespace QVRAdKit::Sandbox
