#include "Sandbox/MonteCarlo/ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

namespace QVRAdKit::Sandbox {

ProgressBar::ProgressBar(std::ostream& out, bool enabled, std::uint64_t total, std::string unit)
    : out_(out),
      enabled_(enabled),
      total_(std::max<std::uint64_t>(total, 1)),
      unit_(std::move(unit)) {}

ProgressBar ProgressBar::forDescriptor(int descriptor, std::ostream& out, std::uint64_t total,
                                       std::string unit) {
  return ProgressBar(out, isatty(descriptor) == 1, total, std::move(unit));
}

void ProgressBar::update(std::uint64_t done) {
  if (!enabled_) return;
  done = std::min(done, total_);
  // A thousand steps at most, whatever the total: drawing must not cost more than the work.
  const std::uint64_t permille = done * 1000 / total_;
  if (permille == drawnPermille_ && done != total_) return;
  drawnPermille_ = permille;
  const auto filled = static_cast<int>(done * kWidth / total_);
  std::string line = "\r[";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(kWidth - filled), '.');
  line += "] " + std::to_string(done) + "/" + std::to_string(total_) + " " + unit_;
  out_ << line << std::flush;
  drawn_ = true;
}

void ProgressBar::finish() {
  if (!enabled_ || !drawn_) return;
  out_ << "\r\x1b[2K" << std::flush;
  drawn_ = false;
}

}  // namespace QVRAdKit::Sandbox
