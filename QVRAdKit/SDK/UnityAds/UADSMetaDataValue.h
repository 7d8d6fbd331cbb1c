#pragma once
// UADSMetaDataValue is one value of Unity Ads metadata: a boolean or a number.
// Threading: a value; any thread. The module makes and reads it on the main queue.

#include <cstdint>
#include <variant>

namespace QVRAdKit {

using UADSMetaDataValue = std::variant<bool, std::int64_t, double>;

}  // namespace QVRAdKit
