#pragma once
// UADSMetaDataStore is where committed Unity Ads metadata goes: the Unity Ads library itself, or
// the sandbox's recording store. It is registered in the environment under this type; without
// one, committed metadata is dropped.
// Threading: commit() may be called from any thread.

#include <map>
#include <string>

#include "QVRAdKit/SDK/UnityAds/UADSMetaDataValue.h"

namespace QVRAdKit {

class UADSMetaDataStore {
 public:
  using Entries = std::map<std::string, UADSMetaDataValue, std::less<>>;

  virtual ~UADSMetaDataStore() = default;
  // Takes over one batch of entries, each replacing the value stored under its key.
  virtual void commit(const Entries& entries) = 0;
};

}  // namespace QVRAdKit
