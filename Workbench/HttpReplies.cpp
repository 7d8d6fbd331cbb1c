#include "Workbench/HttpReplies.h"

#include <httplib.h>

#include <string>

#include "Workbench/WorkbenchJson.h"

namespace QVRAdKit::Workbench::HttpReplies {

using Json = nlohmann::ordered_json;

namespace {

// Thrown by the parser's callback to stop at the first value nested too deep: the parser then
// holds no more than kMaxBodyDepth levels, whatever the body.
struct TooDeep {};

}  // namespace

void send(httplib::Response& response, int status, const Json& body) {
  response.status = status;
  std::string text = body.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
  // The library compresses an "application/json" answer for a browser with brotli at its best
  // and slowest quality: minutes of a core for the tens of megabytes of a long session's
  // picture. It compresses only that exact type, so a large answer names its charset and goes
  // uncompressed over the loopback.
  const bool large = text.size() > kMaxCompressedBytes;
  response.set_content(text, large ? "application/json; charset=utf-8" : "application/json");
}

void refuse(httplib::Response& response, int status, const std::string& message) {
  send(response, status, WorkbenchJson::error(message));
}

std::optional<nlohmann::json> jsonBody(const httplib::Request& request,
                                       httplib::Response& response) {
  const auto depthCheck = [](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
    const bool opens = event == nlohmann::json::parse_event_t::object_start ||
                       event == nlohmann::json::parse_event_t::array_start;
    if (opens && depth >= kMaxBodyDepth) throw TooDeep{};
    return true;
  };
  nlohmann::json body;
  try {
    body = nlohmann::json::parse(request.body, depthCheck, false);
  } catch (const TooDeep&) {
    refuse(
        response, 400,
        "the request body is nested more than " + std::to_string(kMaxBodyDepth) + " levels deep");
    return std::nullopt;
  }
  if (body.is_discarded()) {
    refuse(response, 400, "the request body is not valid JSON");
    return std::nullopt;
  }
  return body;
}

}  // namespace QVRAdKit::Workbench::HttpReplies
