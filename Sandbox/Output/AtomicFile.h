#pragma once
// AtomicFile writes an output so that the old file stays whole until the new one is complete:
// the bytes go to a new file beside the target (".NAME.PID-XXXXXX.tmp", with the target's
// permissions when it exists; those of processes that are gone are removed on the way), and
// commit() flushes it to disk and renames it over the target. A target that exists and is not a
// regular file (a device such as /dev/null or /dev/full, a named pipe) is written in place, as
// nothing could be renamed over it; a symbolic link is followed, so the link stays and its file is
// replaced (or made, when the link names no file yet). unwritable() tells before a long run whether
// its output could be made at all. Every call is checked; the first failure is kept and names the
// call's own reason:
//   cannot write the inspector page "x.html": No space left on device
// Writes interrupted by a signal are resumed. Destroyed without commit() (a failure, a refused
// run), the temporary file is removed and the target is untouched. Temporary files are listed in
// TemporaryFiles, so a process killed by a second signal removes them too.
// Example:
//   auto file = AtomicFile::open("page.html", "the inspector page \"page.html\"");
//   if (!file) return file.error();
//   (*file)->write(html);
//   if (auto error = (*file)->commit()) return *error;
// Threading: one thread at a time.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/Expected.h"

namespace QVRAdKit::Sandbox {

class AtomicFile {
 public:
  static constexpr std::string_view kErrorDomain = "QVRAdKit.Sandbox.Output";

  // Opens the temporary file for path (or the special file itself); what names the output in
  // messages. Fails when the target is a directory or its directory cannot take a new file.
  [[nodiscard]] static Platform::Expected<std::unique_ptr<AtomicFile>> open(const std::string& path,
                                                                            std::string what);
  // Why open() and commit() could not write path, checked without leaving anything behind: the
  // target is a directory, its directory is missing or takes no new file, a device refuses to
  // be written. None when it could be written (a named pipe is not opened: its reader may come
  // later).
  [[nodiscard]] static std::optional<std::string> unwritable(const std::string& path);
  // Opens path for writing at its end, in place (creating it when missing): what is appended
  // cannot replace anything, so nothing is renamed; commit() syncs and closes.
  [[nodiscard]] static Platform::Expected<std::unique_ptr<AtomicFile>> openForAppending(
      const std::string& path, std::string what);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Appends bytes; after a failure, does nothing. Answers error().
  std::optional<Platform::Error> write(std::string_view bytes);
  // Syncs, closes and renames into place (in place: closes). Answers the first failure of a
  // write or of these steps; after a failure the target is as it was. Once only.
  std::optional<Platform::Error> commit();
  [[nodiscard]] const std::optional<Platform::Error>& error() const { return error_; }

  [[nodiscard]] const std::string& target() const { return target_; }
  // The file written until commit(); the target itself when written in place.
  [[nodiscard]] const std::string& writing() const { return writing_; }

 private:
  AtomicFile(int descriptor, std::string target, std::string writing, std::string what,
             bool synced);
  void fail(int errorNumber);
  void discard();

  int descriptor_;
  const std::string target_;
  const std::string writing_;
  const std::string what_;
  const bool synced_;  // flushed to disk by commit(): not for devices and pipes
  int slot_ = -1;      // in TemporaryFiles, while the temporary file exists
  bool done_ = false;
  std::optional<Platform::Error> error_;
};

}  // namespace QVRAdKit::Sandbox
