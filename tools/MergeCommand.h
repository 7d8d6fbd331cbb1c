#pragma once
// MergeCommand is `qvr-sandbox merge [--json] [--shard-out FILE] SHARD...`: it reads shard files
// that runs with --seed-range and --shard-out wrote (on one machine or many), and prints the
// tables (or with --json the JSON) that one run over all their seeds prints, byte for byte; a
// comparison's shards print the comparison. --shard-out writes the merged shard, so that merges
// can be merged again. Shards of other versions, configurations or settings, overlapping seeds and
// missing seeds are refused, one line each (ShardMerge), as are shards that no run can have written
// (ShardConsistency), directories and files over TrialFiles::kMaxShardBytes. Seeds that a shard
// stopped before playing are named on stderr, one line per shard. Exit codes: 0 done, 2 refused
// or unreadable shards, 1 output lost.
// Example: qvr-sandbox merge --json part-*.json > report.json
// Threading: the program's main thread.

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace QVRAdKit::Sandbox {

class MergeCommand {
 public:
  // Adds the merge subcommand to the program.
  void addTo(CLI::App& app);
  [[nodiscard]] bool requested() const { return command_ != nullptr && command_->parsed(); }
  [[nodiscard]] int run(std::ostream& out, std::ostream& err) const;

 private:
  // Reads, merges and prints the shards, once their paths are checked.
  [[nodiscard]] int mergeShards(std::ostream& out, std::ostream& err) const;

  CLI::App* command_ = nullptr;
  std::vector<std::string> paths_;
  bool json_ = false;
  std::string shardOut_;
};

}  // namespace QVRAdKit::Sandbox
