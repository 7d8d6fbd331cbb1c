#pragma once
// ShardMerge adds shards of one Monte Carlo run (TrialShard) into the report a single run over
// the union of their seeds gives, exactly: every state is whole-number sums, so the merged report
// equals, and renders byte for byte as, the one-process report. The shards may come in any order.
// It refuses, naming the files and one problem per line:
// - shards of another tool version or of different configurations, candidates (a comparison and a
//   plain run, or comparisons with different candidates), session lengths or premium flags;
// - seed ranges that overlap (a seed would count twice);
// - gaps: seeds no shard played between the first and the last (a lost or stopped shard); the
//   message names the missing seeds, so that the shard can be run again.
// The merged report is stopped when a seed some shard was asked for is played by none: a stopped
// shard whose missing seeds another shard played merges into the whole run; a shard stopped
// though it played every seed it names (a merge whose parts lost seeds before its first) keeps
// the merge stopped.
// Text from the shards and their names is shown escaped (TerminalText): messages stay one line.
// Example:
//   auto merged = ShardMerge::merge({{"a.json", shardA}, {"b.json", shardB}}, "1.0.0");
//   if (merged) std::cout << MonteCarloTables::text(*merged);
// Threading: pure functions.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "QVRAdKit/Platform/Expected.h"
#include "Sandbox/MonteCarlo/MonteCarloReport.h"
#include "Sandbox/MonteCarlo/TrialShard.h"

namespace QVRAdKit::Sandbox {

class ShardMerge {
 public:
  struct Named {
    std::string origin;  // the file, for messages
    TrialShard shard;
  };
  // Every problem, one line each, in the error's description (lines joined by '\n'). Shards whose
  // counts add up beyond 2^64 are refused too.
  [[nodiscard]] static Platform::Expected<MonteCarloReport> merge(std::vector<Named> shards,
                                                                  const std::string& toolVersion);
  // One line per shard that stopped before playing every seed it was asked for, naming those of
  // its seeds no shard played (in no table of the merge); none when every requested seed was
  // played by some shard.
  [[nodiscard]] static std::vector<std::string> unplayed(const std::vector<Named>& shards);
  // The seeds the shards were asked to play, each counted once (2^64 - 1 at most; a stopped
  // shard's result covers fewer), and the gaps between their asked ranges, which no shard was asked
  // for and so are not counted: "seeds 101 to 200 are in no shard".
  struct Asked {
    std::uint64_t count = 0;
    std::vector<std::string> gaps;
  };
  [[nodiscard]] static Asked asked(const std::vector<Named>& shards);
};

}  // namespace QVRAdKit::Sandbox
