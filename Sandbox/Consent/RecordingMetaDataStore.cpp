#include "Sandbox/Consent/RecordingMetaDataStore.h"

namespace QVRAdKit::Sandbox {

void RecordingMetaDataStore::install(Platform::Environment& environment) {
  environment.setService<UADSMetaDataStore>(shared_from_this());
}

void RecordingMetaDataStore::commit(const Entries& entries) {
  std::lock_guard lock(mutex_);
  commits_.push_back(entries);
  for (const auto& [key, value] : entries) values_.insert_or_assign(key, value);
}

std::vector<RecordingMetaDataStore::Entries> RecordingMetaDataStore::commits() const {
  std::lock_guard lock(mutex_);
  return commits_;
}

std::optional<UADSMetaDataValue> RecordingMetaDataStore::value(std::string_view key) const {
  std::lock_guard lock(mutex_);
  auto found = values_.find(key);
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

}  // namespace QVRAdKit::Sandbox
