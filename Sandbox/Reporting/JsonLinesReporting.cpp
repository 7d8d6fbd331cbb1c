#include "Sandbox/Reporting/JsonLinesReporting.h"

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <utility>
#include <variant>

namespace QVRAdKit::Sandbox {

JsonLinesReporting::JsonLinesReporting(std::ostream& out, std::string name)
    : out_(out), name_(std::move(name)) {}

JsonLinesReporting::JsonLinesReporting(std::unique_ptr<std::ofstream> file, std::string name)
    : file_(std::move(file)), out_(*file_), name_(std::move(name)) {}

JsonLinesReporting::~JsonLinesReporting() {
  std::lock_guard lock(mutex_);
  flushLocked();
}

Platform::Expected<std::shared_ptr<JsonLinesReporting>> JsonLinesReporting::openFile(
    const std::string& path, OpenMode mode) {
  auto failure = [&path](std::string_view reason) {
    return Platform::Error{
        std::string(kErrorDomain), static_cast<std::int64_t>(ErrorCode::cannotOpen),
        "Cannot open the analytics file \"" + path + "\": " + std::string(reason)};
  };
  try {
    const auto flags = std::ios::out | (mode == OpenMode::append ? std::ios::app : std::ios::trunc);
    auto file = std::make_unique<std::ofstream>(path, flags);
    if (!file->is_open()) return failure(std::strerror(errno));
    return std::shared_ptr<JsonLinesReporting>(
        new JsonLinesReporting(std::move(file), "the analytics file \"" + path + "\""));
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
  if (error_) {
    ++lost_;
    return;
  }
  buffer_ += text;
  buffer_ += '\n';
  ++buffered_;
  if (buffer_.size() >= kBufferBytes) flushLocked();
}

std::optional<Platform::Error> JsonLinesReporting::flush() {
  std::lock_guard lock(mutex_);
  flushLocked();
  return error_;
}

void JsonLinesReporting::flushLocked() {
  // Nothing waiting: the stream is not touched, so a caller that flushed may let it go first.
  if (error_ || buffer_.empty()) return;
  errno = 0;
  out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  out_.flush();
  if (!out_) {
    // What the stream does not say, errno of the failed write usually does.
    const int cause = errno;
    error_ = Platform::Error{
        std::string(kErrorDomain), static_cast<std::int64_t>(ErrorCode::writeFailed),
        "cannot write " + name_ + ": " + (cause != 0 ? std::strerror(cause) : "the stream failed")};
    lost_ += buffered_;
  } else {
    written_ += buffered_;
  }
  buffered_ = 0;
  buffer_.clear();
}

std::optional<Platform::Error> JsonLinesReporting::error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

std::int64_t JsonLinesReporting::written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

std::int64_t JsonLinesReporting::lost() const {
  std::lock_guard lock(mutex_);
  return lost_;
}

}  // namespace QVRAdKit::Sandbox
