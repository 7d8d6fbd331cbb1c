#include "tools/MergeCommand.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <sstream>

#include "Sandbox/MonteCarlo/ComparisonTables.h"
#include "Sandbox/MonteCarlo/MonteCarloTables.h"
#include "Sandbox/MonteCarlo/ShardMerge.h"
#include "Sandbox/Text/TerminalText.h"
#include "tools/CheckedOutput.h"
#include "tools/OutputPaths.h"
#include "tools/TrialFiles.h"

namespace QVRAdKit::Sandbox {
namespace {

constexpr int kDone = 0;
constexpr int kOutputLost = 1;
constexpr int kBadInput = 2;

// One message per line of message, each shown as the main tool shows its messages: bytes that
// are not valid UTF-8, controls and bidirectional controls (text from a file) escaped.
void sayAsMerge(std::ostream& err, const std::string& message) {
  std::istringstream lines(message);
  for (std::string line; std::getline(lines, line);) {
    err << "qvr-sandbox merge: " << TerminalText::visible(line) << '\n';
  }
}

}  // namespace

void MergeCommand::addTo(CLI::App& app) {
  command_ = app.add_subcommand(
      "merge",
      "Merge shard files written with --seed-range and --shard-out into the tables of one run "
      "over all their seeds");
  // Not required by the parser: the run says, in the program's own words, what is missing.
  command_->add_option("shards", paths_, "Shard files");
  command_->add_flag("--json", json_, "Print the merged report as one JSON object");
  command_->add_option("--shard-out", shardOut_, "Also write the merged shard to this file");
}

int MergeCommand::run(std::ostream& out, std::ostream& err) const {
  if (paths_.empty()) {
    sayAsMerge(err, "no shard to merge: name the shard files written with --shard-out");
    return kBadInput;
  }
  // No shard read twice under two names, none overwritten by the merged one, before any is read.
  OutputPaths paths;
  for (const std::string& path : paths_) paths.add("shard", path, OutputPaths::Role::read);
  // Given empty, it is refused like any empty path, not taken for none.
  if (command_->count("--shard-out") > 0) paths.addFileOutput("--shard-out", shardOut_);
  paths.addStandardOutput(json_ ? "--json" : "the tables");
  for (const auto& problem : paths.problems()) sayAsMerge(err, problem);
  if (!paths.problems().empty()) return kBadInput;
  // Whatever a shard holds, the merge ends with a message and an exit code.
  try {
    return mergeShards(out, err);
  } catch (const std::exception& error) {
    sayAsMerge(err, std::string("internal error: ") + error.what());
    return kOutputLost;
  }
}

int MergeCommand::mergeShards(std::ostream& out, std::ostream& err) const {
  std::vector<ShardMerge::Named> shards;
  bool unreadable = false;
  for (const std::string& path : paths_) {
    auto shard = TrialFiles::read(path);
    if (!shard) {
      sayAsMerge(err, shard.error().localizedDescription);
      unreadable = true;
      continue;
    }
    shards.push_back({path, std::move(shard).value()});
  }
  if (unreadable) return kBadInput;
  TrialShard merged;
  merged.toolVersion = TrialFiles::toolVersion();
  merged.configuration = shards.front().shard.configuration;
  merged.candidate = shards.front().shard.candidate;
  merged.premium = shards.front().shard.premium;
  const auto unplayed = ShardMerge::unplayed(shards);
  // The merged shard asks for every seed its parts asked for after its first played one, so that
  // seeds a stopped part left are still named when it is merged on.
  std::uint64_t requestedFirst = shards.front().shard.requestedFirst;
  std::uint64_t requestedLast = shards.front().shard.requestedLast;
  for (const auto& named : shards) {
    requestedFirst = std::min(requestedFirst, named.shard.requestedFirst);
    requestedLast = std::max(requestedLast, named.shard.requestedLast);
  }
  auto report = ShardMerge::merge(std::move(shards), merged.toolVersion);
  if (!report) {
    sayAsMerge(err, report.error().localizedDescription);
    return kBadInput;
  }
  // Merged still (the tables say "stopped early"), but which seeds they lack is said here.
  for (const auto& line : unplayed) sayAsMerge(err, line);
  CheckedOutput tables(out);
  if (report->comparison) {
    tables.put("the tables",
               json_ ? ComparisonTables::json(*report) + "\n" : ComparisonTables::text(*report));
  } else {
    tables.put("the tables",
               json_ ? MonteCarloTables::json(*report) + "\n" : MonteCarloTables::text(*report));
  }
  tables.flush("the tables");
  // The merged shard does not go through standard output: written whether the tables were or not.
  std::optional<Platform::Error> shardError;
  if (!shardOut_.empty()) {
    merged.requestedFirst = report->sessions == 0 ? requestedFirst : report->firstSeed;
    merged.requestedLast = requestedLast;
    merged.report = std::move(report).value();
    shardError = TrialFiles::write(merged, shardOut_);
  }
  if (tables.failure()) sayAsMerge(err, *tables.failure());
  if (shardError) sayAsMerge(err, shardError->localizedDescription);
  return tables.failure() || shardError ? kOutputLost : kDone;
}

}  // namespace QVRAdKit::Sandbox
