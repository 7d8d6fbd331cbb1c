#pragma once
// HttpReplies are the few ways every workbench route answers: a JSON body with its status, a
// refusal as {"error":"<one line>"}, and the request body read as JSON (a 400 sent when it is
// not). Shared by the server's routes and the route groups kept in files of their own.
// Threading: pure functions of the request and response they are given.

#include <cstddef>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace QVRAdKit::Workbench::HttpReplies {

// Answers larger than this are sent uncompressed (compressing them costs more than it saves).
inline constexpr std::size_t kMaxCompressedBytes = std::size_t{1} << 20;
// keepUntilSent lives as long as the answer is being sent: a large answer is handed out from its
// own text as the client reads it, and what made it (a slot of the session player) stays taken
// until a slow reader has it all.
void send(httplib::Response& response, int status, const nlohmann::ordered_json& body,
          std::shared_ptr<const void> keepUntilSent = nullptr);
void refuse(httplib::Response& response, int status, const std::string& message);
// Arrays and objects within one another: the workbench's bodies use a handful.
inline constexpr int kMaxBodyDepth = 64;

// The body as JSON; none (and a 400 sent) when it is not (a NUL byte included, which the JSON
// library would take for the end of the text), when it is nested more than kMaxBodyDepth levels
// deep (refused as the parser reaches that depth), or when an object in it names a field twice
// (the message names the field).
[[nodiscard]] std::optional<nlohmann::json> jsonBody(const httplib::Request& request,
                                                     httplib::Response& response);
// For routes that take no fields: true for an empty body or an empty object; false (and a 400
// sent) for anything else.
[[nodiscard]] bool noFields(const httplib::Request& request, httplib::Response& response);

}  // namespace QVRAdKit::Workbench::HttpReplies
