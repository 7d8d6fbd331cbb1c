#pragma once
// ReportingObject is the object form of an analytics event, the only thing the host's analytics
// sink receives: an event name and its parameters in a fixed order. Absent optional fields of an
// event are left out.

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "QVRAdKit/Platform/TextEqual.h"

namespace QVRAdKit {

using ReportingValue = std::variant<std::string, std::int64_t, bool>;

struct ReportingObject {
  std::string name;
  std::vector<std::pair<std::string, ReportingValue>> parameters;

  // The parameter named key, or nullptr.
  [[nodiscard]] const ReportingValue* parameter(std::string_view key) const {
    for (const auto& [parameterName, value] : parameters) {
      if (Platform::TextEqual{}(parameterName, key)) return &value;
    }
    return nullptr;
  }
  bool operator==(const ReportingObject&) const = default;
};

}  // namespace QVRAdKit
