#include "tools/MergeCommand.h"

#include <cerrno>
#include <cstring>
#include <sstream>

#include "Sandbox/MonteCarlo/ComparisonTables.h"
#include "Sandbox/MonteCarlo/MonteCarloTables.h"
#include "Sandbox/MonteCarlo/ShardMerge.h"
#include "tools/TrialFiles.h"

namespace QVRAdKit::Sandbox {
namespace {

constexpr int kDone = 0;
constexpr int kOutputLost = 1;
constexpr int kBadInput = 2;

void say(std::ostream& err, const std::string& message) {
  std::istringstream lines(message);
  for (std::string line; std::getline(lines, line);) err << "qvr-sandbox merge: " << line << '\n';
}

}  // namespace

void MergeCommand::addTo(CLI::App& app) {
  command_ = app.add_subcommand(
      "merge",
      "Merge shard files written with --seed-range and --shard-out into the tables of one run "
      "over all their seeds");
  command_->add_option("shards", paths_, "Shard files")->required();
  command_->add_flag("--json", json_, "Print the merged report as one JSON object");
  command_->add_option("--shard-out", shardOut_, "Also write the merged shard to this file");
}

int MergeCommand::run(std::ostream& out, std::ostream& err) const {
  std::vector<ShardMerge::Named> shards;
  bool unreadable = false;
  for (const std::string& path : paths_) {
    auto shard = TrialFiles::read(path);
    if (!shard) {
      say(err, shard.error().localizedDescription);
      unreadable = true;
      continue;
    }
    shards.push_back({path, std::move(shard).value()});
  }
  if (unreadable) return kBadInput;
  for (const std::string& path : paths_) {
    if (!shardOut_.empty() && path == shardOut_) {
      say(err, "--shard-out \"" + shardOut_ + "\" is one of the shards merged");
      return kBadInput;
    }
  }
  TrialShard merged;
  merged.toolVersion = TrialFiles::toolVersion();
  merged.configuration = shards.front().shard.configuration;
  merged.candidate = shards.front().shard.candidate;
  merged.premium = shards.front().shard.premium;
  auto report = ShardMerge::merge(std::move(shards), merged.toolVersion);
  if (!report) {
    say(err, report.error().localizedDescription);
    return kBadInput;
  }
  if (report->comparison) {
    out << (json_ ? ComparisonTables::json(*report) + "\n" : ComparisonTables::text(*report));
  } else {
    out << (json_ ? MonteCarloTables::json(*report) + "\n" : MonteCarloTables::text(*report));
  }
  out.flush();
  if (!out) {
    say(err, std::string("cannot write to stdout: ") + std::strerror(errno));
    return kOutputLost;
  }
  if (!shardOut_.empty()) {
    merged.requestedFirst = report->firstSeed;
    merged.requestedLast = report->firstSeed + (report->sessions == 0 ? 0 : report->sessions - 1);
    merged.report = std::move(report).value();
    if (auto error = TrialFiles::write(merged, shardOut_)) {
      say(err, error->localizedDescription);
      return kOutputLost;
    }
  }
  return kDone;
}

}  // namespace QVRAdKit::Sandbox
