#include "Workbench/HttpReplies.h"

#include <httplib.h>

#include "Workbench/WorkbenchJson.h"

namespace QVRAdKit::Workbench::HttpReplies {

using Json = nlohmann::ordered_json;

void send(httplib::Response& response, int status, const Json& body) {
  response.status = status;
  response.set_content(body.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n",
                       "application/json");
}

void refuse(httplib::Response& response, int status, const std::string& message) {
  send(response, status, WorkbenchJson::error(message));
}

std::optional<nlohmann::json> jsonBody(const httplib::Request& request,
                                       httplib::Response& response) {
  auto body = nlohmann::json::parse(request.body, nullptr, false);
  if (body.is_discarded()) {
    refuse(response, 400, "the request body is not valid JSON");
    return std::nullopt;
  }
  return body;
}

}  // namespace QVRAdKit::Workbench::HttpReplies
