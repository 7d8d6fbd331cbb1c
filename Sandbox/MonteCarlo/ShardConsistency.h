#pragma once
// ShardConsistency tells whether a shard read from a file can have been written by a run (or a
// merge) of this program. A shard carries no checksum; instead its numbers hold facts that every
// run makes true, and a changed or damaged file almost always breaks one:
// - the seeds: requested first <= last; the played ones start at the requested first, end within
//   the requested range without passing 2^64, and count the sessions; a shard that played fewer
//   than requested stopped early; one that played none holds no row;
// - the session length: more than 0 and at most a week (the longest a run plays); the
//   fingerprints are 16 hex digits; row names are plain identifiers;
// - each row: fills + failures <= requests, the latency histogram counts the fills; a placement
//   shows at most once per opportunity, a network has no opportunities;
// - every request and answer counts once for a placement and once for a network, so both add up
//   to the same requests, fills, failures and latency histogram;
// - the per-session sums add up to the totals, row for row, with the same names; their products
//   fit what sessions of whole numbers below 2^32 give (sum <= sum of squares <= sum^2, the
//   parity of x^2 and x, Cauchy-Schwarz, and the fills and shows of each session below its
//   requests and opportunities);
// - a comparison covers the shard's sessions, its A side is the shard's totals and per-session
//   sums, its B side holds the same facts, and a side without a row has zeros there.
// Example:
//   if (auto problem = ShardConsistency::problem(shard)) refuse(origin + ": " + *problem);
// Threading: pure function.

#include <optional>
#include <string>

#include "Sandbox/MonteCarlo/TrialShard.h"

namespace QVRAdKit::Sandbox {

class ShardConsistency {
 public:
  // The longest session a run plays, in seconds: a week.
  static constexpr double kMaxSessionSeconds = 7 * 24 * 3600;

  // The first broken fact, in one line naming where it is; none when the shard holds them all.
  [[nodiscard]] static std::optional<std::string> problem(const TrialShard& shard);
};

}  // namespace QVRAdKit::Sandbox
