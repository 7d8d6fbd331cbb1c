#pragma once
// SandboxInspector wires the inspector into a sandbox session: it reads the inspection times
// (InspectionTimes), hooks itself into the session's options, prints each snapshot into the
// narration (when there is a narrator) and, when given an HTML path, collects every snapshot and
// writes the page (InspectorPage) once the session has ended. An HTML page without inspection
// times gets one snapshot, at the session end.
// Example:
//   auto inspector = SandboxInspector::create("5:00,10:00", "inspect.html", options.duration,
//                                             "seed 7");
//   if (!inspector) fail(inspector.error());
//   (*inspector)->attach(options);
//   SandboxHost::run(options);
//   if (auto error = (*inspector)->finish()) fail(*error);
// Threading: the session's thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/Expected.h"
#include "Sandbox/Host/SandboxHostOptions.h"
#include "Sandbox/Inspector/InspectorPage.h"
#include "Sandbox/Output/AtomicFile.h"

namespace QVRAdKit::Sandbox {

class SandboxInspector : public std::enable_shared_from_this<SandboxInspector> {
  struct Token {};

 public:
  // times: the --inspect-at text (may be empty); htmlPath: where the page goes, empty for none.
  // The error of bad times, or of an HTML file that cannot be created: its temporary file is
  // made here, beside it, so that a bad path fails before the session runs; the page replaces
  // the old file only once finish() has written all of it (AtomicFile).
  [[nodiscard]] static Platform::Expected<std::shared_ptr<SandboxInspector>> create(
      std::string_view times, const std::string& htmlPath, Platform::TimeInterval duration,
      std::string subtitle);
  SandboxInspector(Token, std::vector<Platform::TimeInterval> times, std::string htmlPath,
                   std::string subtitle);

  // Sets the options' inspection times and inspector; uses the options' narrator for the text.
  // The options hold the inspector weakly.
  void attach(SandboxHostOptions& options);
  // Writes the page, if one was asked for, and puts it in place; the error when writing failed
  // (the old file is then as it was). stoppedAt: the session was stopped there, before its end
  // (the page says so, and names the snapshots it could not take).
  [[nodiscard]] std::optional<Platform::Error> finish(
      std::optional<Platform::TimeInterval> stoppedAt = std::nullopt);

  [[nodiscard]] const std::vector<Platform::TimeInterval>& times() const { return times_; }

 private:
  void inspect(Platform::TimeInterval at, const AdsServiceSnapshot& snapshot);

  std::vector<Platform::TimeInterval> times_;
  std::string htmlPath_;
  std::unique_ptr<AtomicFile> html_;
  InspectorPage page_;
  std::size_t taken_ = 0;  // snapshots the session took
  std::function<void(std::string_view)> narrator_;
};

}  // namespace QVRAdKit::Sandbox
