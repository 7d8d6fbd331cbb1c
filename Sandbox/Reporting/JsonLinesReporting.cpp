#include "Sandbox/Reporting/JsonLinesReporting.h"

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <utility>
#include <variant>

namespace QVRAdKit::Sandbox {
namespace {

Platform::Error writeFailed(std::string text) {
  return {std::string(JsonLinesReporting::kErrorDomain),
          static_cast<std::int64_t>(JsonLinesReporting::ErrorCode::writeFailed), std::move(text)};
}

}  // namespace

JsonLinesReporting::JsonLinesReporting(std::ostream& out, std::string name)
    : out_(&out), name_(std::move(name)) {}

JsonLinesReporting::JsonLinesReporting(std::unique_ptr<AtomicFile> file) : file_(std::move(file)) {}

JsonLinesReporting::~JsonLinesReporting() {
  std::lock_guard lock(mutex_);
  flushLocked();
}

Platform::Expected<std::shared_ptr<JsonLinesReporting>> JsonLinesReporting::openFile(
    const std::string& path, OpenMode mode) {
  const std::string what = "the analytics file \"" + path + "\"";
  try {
    auto file = mode == OpenMode::append ? AtomicFile::openForAppending(path, what)
                                         : AtomicFile::open(path, what);
    if (!file) return file.error();
    return std::shared_ptr<JsonLinesReporting>(new JsonLinesReporting(std::move(file).value()));
  } catch (const std::exception& exception) {
    return Platform::Error{std::string(kErrorDomain),
                           static_cast<std::int64_t>(ErrorCode::cannotOpen),
                           "cannot write " + what + ": " + exception.what()};
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

std::optional<Platform::Error> JsonLinesReporting::commit() {
  std::lock_guard lock(mutex_);
  flushLocked();
  if (file_ && !error_ && !committed_) {
    if (auto failure = file_->commit()) {
      // Nothing of this file reached its place.
      error_ = writeFailed(failure->localizedDescription);
      lost_ += written_;
      written_ = 0;
    }
  }
  committed_ = true;
  return error_;
}

void JsonLinesReporting::flushLocked() {
  // Nothing waiting: the stream is not touched, so a caller that flushed may let it go first.
  if (error_ || buffer_.empty()) return;
  if (committed_) {
    lost_ += buffered_;
  } else if (file_) {
    if (auto failure = file_->write(buffer_)) error_ = writeFailed(failure->localizedDescription);
  } else {
    errno = 0;
    out_->write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    out_->flush();
    if (!*out_) {
      // What the stream does not say, errno of the failed write usually does.
      const int cause = errno;
      error_ = writeFailed("cannot write " + name_ + ": " +
                           (cause != 0 ? std::strerror(cause) : "the stream failed"));
    }
  }
  if (error_) {
    lost_ += buffered_;
  } else if (!committed_) {
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
