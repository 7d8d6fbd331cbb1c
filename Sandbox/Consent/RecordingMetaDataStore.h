#pragma once
// RecordingMetaDataStore is the sandbox's Unity Ads metadata store: it keeps every committed batch
// in order and the latest committed value of each key, for tests and for the sandbox host to show.
// Example:
//   auto store = std::make_shared<RecordingMetaDataStore>();
//   store->install(*environment);
//   ...
//   EXPECT_EQ(store->value("gdpr.consent"), UADSMetaDataValue(true));
// Threading: any member from any thread.

#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/UnityAds/UADSMetaDataStore.h"
#include "QVRAdKit/SDK/UnityAds/UADSMetaDataValue.h"

namespace QVRAdKit::Sandbox {

class RecordingMetaDataStore final : public UADSMetaDataStore,
                                     public std::enable_shared_from_this<RecordingMetaDataStore> {
 public:
  // Registers this store in environment, replacing any other.
  void install(Platform::Environment& environment);

  void commit(const Entries& entries) override;

  // Every committed batch, oldest first.
  [[nodiscard]] std::vector<Entries> commits() const;
  // The latest committed value of key, or none.
  [[nodiscard]] std::optional<UADSMetaDataValue> value(std::string_view key) const;

 private:
  mutable std::mutex mutex_;
  std::vector<Entries> commits_;
  Entries values_;
};

}  // namespace QVRAdKit::Sandbox
