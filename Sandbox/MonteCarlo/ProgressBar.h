#pragma once
// ProgressBar draws how many of a run's steps have ended as one self-overwriting line,
//   [##########..........]  512/1024 sessions
// redrawn only when the bar or the count would change visibly, and erased by finish(). It draws
// only when enabled: forDescriptor() enables it when the descriptor is a terminal, so output piped
// or redirected to a file gets no control characters.
// Example:
//   auto bar = ProgressBar::forDescriptor(STDERR_FILENO, std::cerr, sessions, "sessions");
//   options.progress = [&bar](std::uint64_t done, std::uint64_t) { bar.update(done); };
// Threading: one call at a time (the runner serialises its progress calls).

#include <cstdint>
#include <ostream>
#include <string>

namespace QVRAdKit::Sandbox {

class ProgressBar {
 public:
  static constexpr int kWidth = 30;

  ProgressBar(std::ostream& out, bool enabled, std::uint64_t total, std::string unit);
  // Enabled when descriptor is a terminal.
  [[nodiscard]] static ProgressBar forDescriptor(int descriptor, std::ostream& out,
                                                 std::uint64_t total, std::string unit);

  [[nodiscard]] bool enabled() const { return enabled_; }
  void update(std::uint64_t done);
  // Erases the line, so what follows starts clean.
  void finish();

 private:
  std::ostream& out_;
  bool enabled_;
  std::uint64_t total_;
  std::string unit_;
  std::uint64_t drawnPermille_ = UINT64_MAX;
  bool drawn_ = false;
};

}  // namespace QVRAdKit::Sandbox
