#pragma once
// GADInitializationStatus is what the start of Google Mobile Ads reports: per mediation adapter
// class name, whether that adapter is ready. The module does not inspect it.
// Threading: a value; any thread. The module makes and reads it on the main queue.

#include <map>
#include <string>

namespace QVRAdKit {

struct GADInitializationStatus {
  enum class AdapterState { notReady, ready };

  std::map<std::string, AdapterState> adapterStatesByClassName;

  bool operator==(const GADInitializationStatus&) const = default;
};

}  // namespace QVRAdKit
