#pragma once
// TrialFiles is qvr-sandbox's file side of sharded Monte Carlo runs: the fingerprint that names a
// run's configuration in its shards, and reading and writing shard files.
// The fingerprint covers the configuration's content, not its file: the JSON read and written
// back in a canonical form (keys sorted, no spacing), so a copy, a re-indented file or the same
// file on another machine gives the same fingerprint; the consent region and answer, which the
// command line sets, are part of it.
// Threading: the program's main thread.

#include <cstddef>
#include <optional>
#include <string>

#include "QVRAdKit/Platform/Expected.h"
#include "Sandbox/MonteCarlo/TrialShard.h"

namespace QVRAdKit::Sandbox {

class TrialFiles {
 public:
  // The version shards carry, and merge requires.
  [[nodiscard]] static std::string toolVersion();
  // The fingerprint of the configuration at path (none: the embedded one) under region and answer;
  // an error when the file cannot be read.
  [[nodiscard]] static Platform::Expected<std::string> fingerprint(
      const std::optional<std::string>& path, const std::string& region, const std::string& answer);
  // Writes the shard through a temporary file in the same folder, renamed over path once complete,
  // so a reader never sees half a shard; an error saying why otherwise.
  [[nodiscard]] static std::optional<Platform::Error> write(const TrialShard& shard,
                                                            const std::string& path);
  // The shard at path; an error naming it when it cannot be read, is a directory, is larger than
  // kMaxShardBytes or is no shard of this format.
  [[nodiscard]] static Platform::Expected<TrialShard> read(const std::string& path);

  // Far above any real shard (tens of kB: its size grows with placements and latency buckets, not
  // with sessions), so that a device that never ends, or a wrong file, is refused quickly.
  static constexpr std::size_t kMaxShardBytes = std::size_t{64} << 20;
};

}  // namespace QVRAdKit::Sandbox
