// One session as a picture: its loads, moments and stretches agree with what a Monte Carlo run
// counts for the same seed, keep their order, and the snapshot at a moment of the picture shows
// the ads the picture had loaded by then.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "Sandbox/MonteCarlo/MonteCarloRunner.h"
#include "Workbench/SessionJson.h"
#include "Workbench/SessionTrace.h"

namespace QVRAdKit::Workbench {
namespace {

using Sandbox::SandboxConfiguration;
using Outcome = SessionTrace::Outcome;

constexpr Platform::TimeInterval kTwoHours = 7200;

SessionTrace::Picture play(std::uint64_t seed, Platform::TimeInterval duration = kTwoHours) {
  auto picture = SessionTrace::play(SandboxConfiguration::defaults(), seed, duration);
  EXPECT_TRUE(picture) << picture.error().localizedDescription;
  return picture ? std::move(picture).value() : SessionTrace::Picture{};
}

std::set<std::string> kinds(const SessionTrace::Picture& picture) {
  std::set<std::string> found;
  for (const auto& moment : picture.moments) found.insert(moment.kind);
  return found;
}

TEST(SessionTrace, CountsWhatAMonteCarloRunCountsForTheSameSeed) {
  for (const std::uint64_t seed : {1U, 7U, 23U}) {
    SCOPED_TRACE(seed);
    const auto picture = play(seed);
    auto statistics = Sandbox::MonteCarloRunner::runSession(SandboxConfiguration::defaults(), seed,
                                                            kTwoHours, false);
    ASSERT_TRUE(statistics);
    std::uint64_t requests = 0, fills = 0, failures = 0, shows = 0;
    for (const auto& [name, row] : statistics->networks) {
      requests += row.requests;
      fills += row.fills;
      failures += row.failures;
      shows += row.shows;
    }
    ASSERT_GT(requests, 0U);
    EXPECT_EQ(picture.loads.size(), requests);
    const auto count = [&picture](Outcome outcome) {
      return static_cast<std::uint64_t>(
          std::count_if(picture.loads.begin(), picture.loads.end(),
                        [outcome](const auto& load) { return load.outcome == outcome; }));
    };
    EXPECT_EQ(count(Outcome::filled), fills);
    EXPECT_EQ(count(Outcome::failed), failures);
    EXPECT_EQ(static_cast<std::uint64_t>(
                  std::count_if(picture.moments.begin(), picture.moments.end(),
                                [](const auto& moment) { return moment.kind == "show"; })),
              shows);
  }
}

TEST(SessionTrace, KeepsMomentsLoadsAndStretchesInOrderWithinTheSession) {
  const auto picture = play(7);
  ASSERT_FALSE(picture.moments.empty());
  EXPECT_TRUE(std::is_sorted(picture.moments.begin(), picture.moments.end(),
                             [](const auto& a, const auto& b) { return a.at < b.at; }));
  EXPECT_EQ(picture.moments.front().kind, "launch");
  EXPECT_EQ(picture.moments.front().at, 0);
  for (const char* kind : {"launch", "connect", "connected", "disconnect", "disconnected"}) {
    EXPECT_TRUE(kinds(picture).contains(kind)) << kind;
  }
  for (const auto& moment : picture.moments) {
    EXPECT_FALSE(moment.text.starts_with("[")) << "the narrator's stamp is left out";
    EXPECT_LE(moment.at, kTwoHours);
  }
  for (const auto& load : picture.loads) {
    SCOPED_TRACE(load.uuid);
    EXPECT_GE(load.requestedAt, 0);
    if (load.outcome != Outcome::unanswered) {
      ASSERT_TRUE(load.endedAt);
      EXPECT_GT(*load.endedAt, load.requestedAt) << "a network answers after the request";
    }
    if (load.endedAt) {
      EXPECT_LE(*load.endedAt, kTwoHours);
    }
    EXPECT_FALSE(load.uuid.empty());
  }
  // The tunnel's stretches follow one another without overlapping, each within the session.
  std::vector<SessionTrace::Span> tunnel;
  for (const auto& span : picture.spans) {
    EXPECT_LE(span.from, span.to);
    EXPECT_GE(span.from, 0);
    EXPECT_LE(span.to, kTwoHours);
    if (span.lane == "vpn") tunnel.push_back(span);
  }
  ASSERT_FALSE(tunnel.empty());
  for (std::size_t index = 1; index < tunnel.size(); ++index) {
    EXPECT_LE(tunnel[index - 1].to, tunnel[index].from);
  }
}

TEST(SessionTrace, AdsOnScreenAndPausesAreStretchesBoundedByTheirMoments) {
  // The first seed whose user earns the time wall's reward: it pauses ads for 900 seconds.
  std::optional<SessionTrace::Picture> rewarded;
  for (std::uint64_t seed = 1; seed <= 40 && !rewarded; ++seed) {
    auto picture = play(seed);
    if (kinds(picture).contains("pause")) rewarded = std::move(picture);
  }
  ASSERT_TRUE(rewarded) << "no seed of 40 earned a reward";
  const auto pause = std::find_if(rewarded->spans.begin(), rewarded->spans.end(),
                                  [](const auto& span) { return span.lane == "pause"; });
  ASSERT_NE(pause, rewarded->spans.end());
  const auto pauseMoment = std::find_if(rewarded->moments.begin(), rewarded->moments.end(),
                                        [](const auto& moment) { return moment.kind == "pause"; });
  EXPECT_EQ(pause->from, pauseMoment->at);
  EXPECT_EQ(pause->to, std::min(pauseMoment->at + 900, kTwoHours));
  // Every ad on screen opened with a "show" moment and ended with its own close (or the end).
  std::size_t shows = 0;
  for (const auto& moment : rewarded->moments) shows += moment.kind == "show" ? 1 : 0;
  const auto onScreen = std::count_if(rewarded->spans.begin(), rewarded->spans.end(),
                                      [](const auto& span) { return span.lane == "screen"; });
  EXPECT_EQ(static_cast<std::size_t>(onScreen), shows);
  EXPECT_TRUE(kinds(*rewarded).contains("reward"));
  EXPECT_TRUE(kinds(*rewarded).contains("closed"));
}

TEST(SessionTrace, TheSameSeedDrawsTheSamePictureAndAnotherSeedAnother) {
  const auto first = SessionJson::picture(play(11, 1800));
  EXPECT_EQ(first, SessionJson::picture(play(11, 1800)));
  EXPECT_NE(first, SessionJson::picture(play(12, 1800)));
  EXPECT_EQ(first["seed"], "11");
  EXPECT_EQ(first["counts"]["requests"], first["loads"].size());
}

TEST(SessionTrace, TheSnapshotAtAMomentHoldsTheAdsThePictureHadLoadedByThen) {
  const auto configuration = SandboxConfiguration::defaults();
  const auto picture = play(7);
  for (const Platform::TimeInterval at : {0.0, 600.0, 3000.5, kTwoHours}) {
    SCOPED_TRACE(at);
    auto snapshot = SessionTrace::snapshotAt(configuration, 7, kTwoHours, at);
    ASSERT_TRUE(snapshot) << snapshot.error().localizedDescription;
    // At the very start the configuration is still on its way: no placement yet.
    EXPECT_EQ(snapshot->placements.empty(), at == 0);
    for (const auto& placement : snapshot->placements) {
      // IronSource keys share the network's one interstitial slot: their loads are the slot's.
      if (placement.source != AdSource::adMob) continue;
      for (const auto& key : placement.keys) {
        using State = AdsServiceSnapshot::AdState;
        if (!key.ad || key.ad->uuid.empty()) continue;
        if (key.ad->state != State::loaded && key.ad->state != State::loading) continue;
        // The picture's last request of this ad up to the moment.
        const SessionTrace::Load* latest = nullptr;
        for (const auto& load : picture.loads) {
          if (load.uuid == key.ad->uuid && load.requestedAt <= at) latest = &load;
        }
        ASSERT_NE(latest, nullptr) << key.key << " holds an ad the picture never requested";
        if (key.ad->state == State::loaded) {
          EXPECT_EQ(latest->outcome, Outcome::filled) << key.key;
          EXPECT_LE(*latest->endedAt, at) << key.key;
        }
        if (key.ad->state == State::loading) {
          EXPECT_TRUE(!latest->endedAt || *latest->endedAt > at) << key.key;
        }
      }
    }
    const auto json = SessionJson::snapshot(at, *snapshot);
    EXPECT_EQ(json["placements"].size(), snapshot->placements.size());
    EXPECT_FALSE(json["lines"].empty());
  }
  EXPECT_FALSE(SessionTrace::snapshotAt(configuration, 7, kTwoHours, kTwoHours + 1));
}

}  // namespace
}  // namespace QVRAdKit::Workbench
