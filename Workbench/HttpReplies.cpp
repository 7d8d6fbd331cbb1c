#include "Workbench/HttpReplies.h"

#include <httplib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "Sandbox/Config/ConfigurationPath.h"
#include "Sandbox/Config/StrictJsonParser.h"
#include "Workbench/RunRequest.h"
#include "Workbench/WorkbenchJson.h"

namespace QVRAdKit::Workbench::HttpReplies {

using Json = nlohmann::ordered_json;

void send(httplib::Response& response, int status, const Json& body,
          std::shared_ptr<const void> keepUntilSent) {
  response.status = status;
  auto text = std::make_shared<std::string>(
      body.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n");
  if (text->size() <= kMaxCompressedBytes) {
    response.set_content(*text, "application/json");
    return;
  }
  // The library compresses an "application/json" answer for a browser with brotli at its best
  // and slowest quality: minutes of a core for the tens of megabytes of a long session's
  // picture. It compresses only that exact type, so a large answer names its charset and goes
  // uncompressed over the loopback, handed out from its one copy as the client reads it.
  static constexpr std::size_t kPiece = std::size_t{1} << 20;
  const std::size_t size = text->size();
  response.set_content_provider(
      size, "application/json; charset=utf-8",
      [text = std::move(text), keep = std::move(keepUntilSent)](
          std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        return sink.write(text->data() + offset, std::min(length, kPiece));
      });
}

void refuse(httplib::Response& response, int status, const std::string& message) {
  send(response, status, WorkbenchJson::error(message));
}

std::optional<nlohmann::json> jsonBody(const httplib::Request& request,
                                       httplib::Response& response) {
  auto body = Sandbox::StrictJsonParser::read(request.body, kMaxBodyDepth);
  if (body.outcome == Sandbox::StrictJsonParser::Outcome::tooLarge) {
    refuse(
        response, 400,
        "the request body is nested more than " + std::to_string(kMaxBodyDepth) + " levels deep");
    return std::nullopt;
  }
  if (body.outcome != Sandbox::StrictJsonParser::Outcome::parsed) {
    refuse(response, 400, "the request body is not valid JSON: " + body.problem);
    return std::nullopt;
  }
  // The JSON library would keep the last value: the request is refused rather than guessed at.
  if (!body.repeated.empty()) {
    const auto& [object, name] = body.repeated.front();
    refuse(response, 400,
           Sandbox::ConfigurationPath::display(Sandbox::ConfigurationPath::child(object, name)) +
               ": given more than once");
    return std::nullopt;
  }
  // The JSON library would read it as 0, which is not what was sent.
  if (!body.tooSmall.empty()) {
    const auto& [literal, place] = body.tooSmall.front();
    refuse(response, 400,
           (place.empty() ? std::string("the request body") : place) + ": " + literal +
               " is too small to represent");
    return std::nullopt;
  }
  return std::move(body.root);
}

bool noFields(const httplib::Request& request, httplib::Response& response) {
  if (request.body.empty()) return true;
  const auto body = jsonBody(request, response);
  if (!body) return false;
  if (!body->is_object()) {
    refuse(response, 400, "the request must be a JSON object");
    return false;
  }
  if (auto unknown = RunRequest::unknownField(*body, {})) {
    refuse(response, 400, unknown->message);
    return false;
  }
  return true;
}

}  // namespace QVRAdKit::Workbench::HttpReplies
