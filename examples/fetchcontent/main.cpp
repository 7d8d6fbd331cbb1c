// The first step of a host that fetched the module: an environment installed, the ads service
// built before any of the app's services is handed to it. It prints what checkIntegration() finds
// missing, the list a host works through while it wires the module in, and exits 0 when the list
// names the services it was not given.
#include <cstdio>
#include <utility>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Services/AdsService/AdsService.h"

int main() {
  auto environment = QVRAdKit::Platform::Environment::makeSystem();
  const QVRAdKit::Platform::Environment::Scope scope(*environment);
  QVRAdKit::AdsService::Dependencies dependencies;
  dependencies.environment = environment.get();
  auto ads = QVRAdKit::AdsService::create(std::move(dependencies));
  const QVRAdKit::IntegrationReport report = ads->checkIntegration();
  ads.reset();
  if (std::fputs(report.text().c_str(), stdout) < 0 || std::fflush(stdout) != 0) return 1;
  const bool told = report.find("configuration provider") && report.find("storage");
  return told ? 0 : 1;
}
