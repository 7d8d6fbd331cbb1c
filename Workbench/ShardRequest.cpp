#include "Workbench/ShardRequest.h"

#include <utility>

namespace QVRAdKit::Workbench {

ShardRequest::Result ShardRequest::read(const nlohmann::json& body) {
  if (!body.is_object()) return RunRequest::BadField{"the request must be a JSON object"};
  if (auto unknown = RunRequest::unknownField(body, {"shards"})) return std::move(*unknown);
  const auto list = body.find("shards");
  if (list == body.end() || !list->is_array() || list->empty()) {
    return RunRequest::BadField{
        "shards: must be a list of at least one shard file, each {\"name\":..,\"text\":..}"};
  }
  // Every field checked before any text is read: a malformed request is told as such.
  for (std::size_t index = 0; index < list->size(); ++index) {
    const auto& shard = (*list)[index];
    const std::string where = "shards[" + std::to_string(index) + "]";
    if (!shard.is_object()) {
      return RunRequest::BadField{where + ": must be {\"name\":..,\"text\":..}"};
    }
    if (auto unknown = RunRequest::unknownField(shard, {"name", "text"}, where)) {
      return std::move(*unknown);
    }
    const auto name = shard.find("name");
    if (name == shard.end() || !name->is_string() || name->get_ref<const std::string&>().empty()) {
      return RunRequest::BadField{where + ".name: must be the file's name, a non-empty string"};
    }
    const auto text = shard.find("text");
    if (text == shard.end() || !text->is_string()) {
      return RunRequest::BadField{where + ".text: must be the shard file's text, as a string"};
    }
  }
  std::vector<Sandbox::ShardMerge::Named> shards;
  Unreadable unreadable;
  for (const auto& shard : *list) {
    const auto& name = shard["name"].get_ref<const std::string&>();
    auto parsed = Sandbox::TrialShard::parse(shard["text"].get_ref<const std::string&>(), name);
    if (!parsed) {
      unreadable.problems.push_back(parsed.error().localizedDescription);
      continue;
    }
    shards.push_back({name, std::move(parsed).value()});
  }
  if (!unreadable.problems.empty()) return unreadable;
  return shards;
}

}  // namespace QVRAdKit::Workbench
