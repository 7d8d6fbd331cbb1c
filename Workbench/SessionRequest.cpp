#include "Workbench/SessionRequest.h"

#include <cmath>
#include <utility>

namespace QVRAdKit::Workbench {

SessionRequest::Result SessionRequest::read(const nlohmann::json& body, bool needsMoment) {
  if (!body.is_object()) return RunRequest::BadField{"the request must be a JSON object"};
  for (const char* runOnly : {"sessions", "jobs"}) {
    if (body.contains(runOnly)) {
      return RunRequest::BadField{std::string(runOnly) + ": a single session takes none"};
    }
  }
  auto unknown = needsMoment
                     ? RunRequest::unknownField(body, {"configuration", "seed", "minutes", "at"})
                     : RunRequest::unknownField(body, {"configuration", "seed", "minutes"});
  if (unknown) return std::move(*unknown);
  // One session is a run of one: its seed, minutes and configuration are read the same way.
  nlohmann::json run = body;
  run.erase("at");
  run["sessions"] = std::uint64_t{1};  // unsigned, as a parsed body holds it
  auto read = RunRequest::read(run);
  if (auto* bad = std::get_if<RunRequest::BadField>(&read)) return std::move(*bad);
  if (auto* bad = std::get_if<RunRequest::BadConfiguration>(&read)) return std::move(*bad);
  auto options = std::get<Sandbox::MonteCarloRunner::Options>(std::move(read));
  SessionRequest request;
  request.configuration = std::move(options.configuration);
  request.seed = options.firstSeed;
  request.duration = options.duration;
  if (needsMoment) {
    const auto at = body.find("at");
    const double seconds = at != body.end() && at->is_number() ? at->get<double>() : -1;
    if (!std::isfinite(seconds) || seconds < 0 || seconds > request.duration) {
      return RunRequest::BadField{"at: must be a number of seconds from 0 to the session's end (" +
                                  std::to_string(static_cast<long long>(request.duration)) + ")"};
    }
    request.at = seconds == 0 ? 0.0 : seconds;  // -0 is the session's start, told as 0
  }
  return request;
}

}  // namespace QVRAdKit::Workbench
