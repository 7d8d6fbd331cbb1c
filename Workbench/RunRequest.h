#pragma once
// RunRequest reads the body of a run request of the workbench API into Monte Carlo options:
//   {"configuration":TEXT,"sessions":N,"seed":"S","jobs":J,"minutes":M}
// sessions from 1 to MonteCarloRunner::kMaxSessions; seed a whole number from 0 to 2^64-1, as a
// string (a page's numbers lose digits beyond 2^53) or a number, with seed + sessions - 1 within
// 64 bits; jobs from 1 to kMaxJobs; minutes more than 0, at most a week. Only seed, jobs and
// minutes may be left out (1, 1, 120: the command line's defaults); any other field is refused,
// so a misspelt option is told rather than run with its default. The consent region and answer
// are the command line's defaults too, so a run replays `qvr-sandbox --sessions N --seed S`.
// Threading: pure functions.

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "Sandbox/Config/SandboxConfigurationCheck.h"
#include "Sandbox/MonteCarlo/MonteCarloRunner.h"

namespace QVRAdKit::Workbench {

struct RunRequest {
  // A field that is missing, of the wrong type or out of its bounds: one line naming it.
  struct BadField {
    std::string message;
  };
  // The configuration has errors: the checker's verdict.
  struct BadConfiguration {
    std::string text;
    Sandbox::SandboxConfigurationCheck check;
  };
  using Result = std::variant<Sandbox::MonteCarloRunner::Options, BadField, BadConfiguration>;

  [[nodiscard]] static Result read(const nlohmann::json& body);

  // The first field of object (an object, at place: "" for the body, "shards[0]" within it)
  // that known does not list, as the line that refuses it; none when every field is known.
  // Every route's reader asks it for its own fields.
  [[nodiscard]] static std::optional<BadField> unknownField(
      const nlohmann::json& object, std::initializer_list<std::string_view> known,
      const std::string& place = "");
};

}  // namespace QVRAdKit::Workbench
