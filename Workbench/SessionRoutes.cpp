#include "Workbench/SessionRoutes.h"

#include <httplib.h>

#include <memory>
#include <string>
#include <utility>

#include "Workbench/HttpReplies.h"
#include "Workbench/SessionJson.h"
#include "Workbench/SessionRequest.h"
#include "Workbench/SessionTrace.h"
#include "Workbench/WorkbenchJson.h"

namespace QVRAdKit::Workbench::SessionRoutes {
namespace {

using Json = nlohmann::ordered_json;
using HttpReplies::refuse;
using HttpReplies::send;

// The request read, or none with its 400 or 422 sent.
std::optional<SessionRequest> readRequest(const httplib::Request& request,
                                          httplib::Response& response, bool needsMoment) {
  const auto body = HttpReplies::jsonBody(request, response);
  if (!body) return std::nullopt;
  auto read = SessionRequest::read(*body, needsMoment);
  if (const auto* bad = std::get_if<RunRequest::BadField>(&read)) {
    refuse(response, 400, bad->message);
    return std::nullopt;
  }
  if (const auto* bad = std::get_if<RunRequest::BadConfiguration>(&read)) {
    Json answer = WorkbenchJson::error("the configuration has errors: it cannot run");
    answer["check"] = WorkbenchJson::check(bad->text, bad->check);
    send(response, 422, answer);
    return std::nullopt;
  }
  return std::get<SessionRequest>(std::move(read));
}

// The 429 when every slot is taken.
void refuseBusy(httplib::Response& response, const Slots& slots) {
  refuse(response, 429,
         "already " + std::to_string(slots.limit()) +
             " sessions being played: ask again when one has answered");
}

}  // namespace

Slots::Hold::~Hold() {
  if (slots_ != nullptr) slots_->release();
}

std::optional<Slots::Hold> Slots::take() {
  const std::scoped_lock lock(mutex_);
  if (held_ >= limit_) return std::nullopt;
  ++held_;
  return Hold(*this);
}

void Slots::release() {
  const std::scoped_lock lock(mutex_);
  --held_;
}

void install(RouteMethods& routes, Slots& slots) {
  routes.post(
      "/api/sessions", [&slots](const httplib::Request& request, httplib::Response& response) {
        const auto session = readRequest(request, response, false);
        if (!session) return;
        auto hold = slots.take();
        if (!hold) return refuseBusy(response, slots);
        auto picture = SessionTrace::play(session->configuration, session->seed, session->duration);
        if (!picture) return refuse(response, 500, picture.error().localizedDescription);
        // The slot stays taken until the answer is sent: a slow reader's hundreds of megabytes
        // count against the bound as much as a session being played.
        send(response, 200, SessionJson::picture(*picture),
             std::make_shared<const Slots::Hold>(std::move(*hold)));
      });
  routes.post("/api/sessions/snapshot",
              [&slots](const httplib::Request& request, httplib::Response& response) {
                const auto session = readRequest(request, response, true);
                if (!session) return;
                const auto hold = slots.take();
                if (!hold) return refuseBusy(response, slots);
                auto snapshot = SessionTrace::snapshotAt(session->configuration, session->seed,
                                                         session->duration, *session->at);
                if (!snapshot) return refuse(response, 500, snapshot.error().localizedDescription);
                send(response, 200, SessionJson::snapshot(*session->at, *snapshot));
              });
}

}  // namespace QVRAdKit::Workbench::SessionRoutes
