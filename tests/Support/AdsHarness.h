#pragma once
// A fresh test environment with the scripted ad networks, a drivable user, recorded analytics and
// recorded logs: what builder and service tests start from. The environment is installed for the
// harness's lifetime unless the test runs several at once and wants none installed.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "Sandbox/GoogleMobileAds/GoogleMobileAdsSandbox.h"
#include "Sandbox/HostServices/SandboxUser.h"
#include "Sandbox/HostServices/SandboxUserService.h"
#include "Sandbox/IronSource/ScriptedIronSource.h"
#include "Sandbox/Logging/RecordingLogger.h"
#include "Sandbox/Reporting/RecordingReporting.h"

namespace QVRAdKit::Testing {

struct AdsHarness {
  explicit AdsHarness(bool installed = true)
      : scope(installed ? std::make_unique<Platform::Environment::Scope>(*env) : nullptr) {}

  std::unique_ptr<Platform::Environment> env = Platform::Environment::makeForTesting();
  std::unique_ptr<Platform::Environment::Scope> scope;
  std::shared_ptr<Sandbox::GoogleMobileAdsSandbox> gma =
      Sandbox::GoogleMobileAdsSandbox::install(*env);
  std::shared_ptr<Sandbox::ScriptedIronSource> ironSource = installIronSource(*env);
  std::shared_ptr<Sandbox::SandboxUserService> users =
      std::make_shared<Sandbox::SandboxUserService>(Sandbox::SandboxUser::make(false));
  std::shared_ptr<Sandbox::RecordingReporting> reporting =
      std::make_shared<Sandbox::RecordingReporting>();
  std::shared_ptr<Sandbox::RecordingLogger> logger = installLogger(*env);

  void drain() { env->mainQueue().runUntilIdle(); }
  void setPremium(bool premium) { users->setUser(Sandbox::SandboxUser::make(premium)); }

  // Ad-unit ids of the GMA requests, oldest first.
  [[nodiscard]] std::vector<std::string> requestedUnits() const {
    std::vector<std::string> units;
    for (const auto& request : gma->requests()) units.push_back(request.adUnitID);
    return units;
  }
  [[nodiscard]] bool requested(const std::string& unit) const {
    return std::ranges::count(requestedUnits(), unit) > 0;
  }
  // The id of the latest GMA request for unit.
  [[nodiscard]] Sandbox::GoogleMobileAdsSandbox::RequestID lastRequest(
      const std::string& unit) const {
    Sandbox::GoogleMobileAdsSandbox::RequestID id = 0;
    for (const auto& request : gma->requests()) {
      if (request.adUnitID == unit) id = request.id;
    }
    return id;
  }
  // Analytics event names, oldest first.
  [[nodiscard]] std::vector<std::string> eventNames() const { return reporting->names(); }

 private:
  static std::shared_ptr<Sandbox::ScriptedIronSource> installIronSource(
      Platform::Environment& environment) {
    auto sdk = Sandbox::ScriptedIronSource::create();
    sdk->install(environment);
    return sdk;
  }
  static std::shared_ptr<Sandbox::RecordingLogger> installLogger(
      Platform::Environment& environment) {
    auto logger = std::make_shared<Sandbox::RecordingLogger>();
    environment.setService<QVLogger>(logger);
    return logger;
  }
};

}  // namespace QVRAdKit::Testing
