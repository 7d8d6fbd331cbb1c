#include "Sandbox/Reporting/JsonLinesReporting.h"

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <utility>
#include <variant>

namespace QVRAdKit::Sandbox {

JsonLinesReporting::JsonLinesReporting(std::ostream& out) : out_(out) {}

JsonLinesReporting::JsonLinesReporting(std::unique_ptr<std::ofstream> file)
    : file_(std::move(file)), out_(*file_) {}

Platform::Expected<std::shared_ptr<JsonLinesReporting>> JsonLinesReporting::openFile(
    const std::string& path) {
  auto failure = [&path](std::string_view reason) {
    return Platform::Error{
        std::string(kErrorDomain), static_cast<std::int64_t>(ErrorCode::cannotOpen),
        "Cannot open the analytics file \"" + path + "\": " + std::string(reason)};
  };
  try {
    auto file = std::make_unique<std::ofstream>(path, std::ios::out | std::ios::app);
    if (!file->is_open()) return failure(std::strerror(errno));
    return std::shared_ptr<JsonLinesReporting>(new JsonLinesReporting(std::move(file)));
  } catch (const std::exception& exception) {
    return failure(exception.what());
  }
}

std::string JsonLinesReporting::line(const ReportingObject& event) {
  nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
  for (const auto& [name, value] : event.parameters) {
    // A repeated name keeps its first value, as ReportingObject::parameter reads it.
    std::visit([&, &name = name](const auto& held) { parameters.emplace(name, held); }, value);
  }
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object["event"] = event.name;
  object["parameters"] = std::move(parameters);
  return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void JsonLinesReporting::track(const ReportingObject& event) {
  const std::string text = line(event);
  std::lock_guard lock(mutex_);
  out_ << text << '\n';
  out_.flush();
}

}  // namespace QVRAdKit::Sandbox
