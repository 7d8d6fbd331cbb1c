#pragma once
// ShardRequest reads the body of the workbench API's request to open a sharded run's results:
//   {"shards":[{"name":"part-1.json","text":"<the shard file's text>"},...]}
// at least one shard; name is the file's name (not empty), which messages show as the command
// line shows a shard's path; text is the whole file. No other field is taken, here or in a shard.
// Each text is read as `qvr-sandbox merge` reads a shard file (TrialShard::parse: the format, and
// the facts every run makes true), and every shard that cannot be read is named, one line each, in
// the command line's words.
// Example:
//   auto read = ShardRequest::read(body);
//   if (auto* shards = std::get_if<std::vector<Sandbox::ShardMerge::Named>>(&read)) merge(...);
// Threading: pure functions.

#include <nlohmann/json.hpp>
#include <string>
#include <variant>
#include <vector>

#include "Sandbox/MonteCarlo/ShardMerge.h"
#include "Workbench/RunRequest.h"

namespace QVRAdKit::Workbench {

struct ShardRequest {
  // Shards whose text is no shard this program can have written: one line each, naming it.
  struct Unreadable {
    std::vector<std::string> problems;
  };
  using Result =
      std::variant<std::vector<Sandbox::ShardMerge::Named>, RunRequest::BadField, Unreadable>;

  [[nodiscard]] static Result read(const nlohmann::json& body);
};

}  // namespace QVRAdKit::Workbench
