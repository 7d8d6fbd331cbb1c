// The ads pause over the sandbox's SQLite storage: it survives closing and reopening the store.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <string>

#include "Sandbox/Storage/SQLiteKeyValueStore.h"
#include "Sandbox/Storage/SQLiteStorage.h"
#include "Services/AdsService/AdsServiceTestSupport.h"

namespace QVRAdKit {
namespace {

namespace fs = std::filesystem;
using namespace testing_support;

class AdsServiceSQLiteTest : public ::testing::Test {
 protected:
  AdsServiceSQLiteTest() {
    static std::atomic<int> counter{0};
    dir_ =
        fs::temp_directory_path() / ("qvr-ads-service-" + std::to_string(std::random_device{}()) +
                                     "-" + std::to_string(counter++));
    fs::create_directories(dir_);
  }
  ~AdsServiceSQLiteTest() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::shared_ptr<Storage> openStorage() {
    auto store = Sandbox::SQLiteKeyValueStore::open((dir_ / "host.sqlite").string());
    EXPECT_TRUE(store) << store.error().localizedDescription;
    return store ? std::make_shared<Sandbox::SQLiteStorage>(*store) : nullptr;
  }

  std::shared_ptr<AdsService> serviceOver(std::shared_ptr<Storage> storage) {
    auto service = h.makeService(std::move(storage));
    AdsServiceTestAccess::setConfig(
        *service,
        AdsConfig({}, {{InterstitialAdPlacement::connect, AdPlacementConfig::adMob({"c"})}}, {},
                  {{AppOpenAdPlacement::main, AdPlacementConfig::adMob({"m"})}}));
    return service;
  }

  AdsServiceHarness h;
  fs::path dir_;
};

TEST_F(AdsServiceSQLiteTest, APauseSurvivesClosingAndReopeningTheStore) {
  const auto connect = AdsPlacement::interstitial(InterstitialAdPlacement::connect);
  const auto main = AdsPlacement::appOpen(AppOpenAdPlacement::main);
  {
    auto storage = openStorage();
    ASSERT_TRUE(storage);
    auto service = serviceOver(storage);
    EXPECT_TRUE(service->shouldShowAd(connect));
    service->pauseAds(3600);
    EXPECT_FALSE(service->shouldShowAd(connect));
  }  // the service and the last owner of the store go: the file is closed

  auto storage = openStorage();
  ASSERT_TRUE(storage);
  EXPECT_EQ(storage->read<Platform::Date>(AdsService::kAdsPausedTillDateKey),
            h.now().addingTimeInterval(3600));
  auto restarted = serviceOver(storage);
  EXPECT_FALSE(restarted->shouldShowAd(connect));
  EXPECT_FALSE(restarted->shouldShowAd(main));
  h.clock().advance(3599.5);
  EXPECT_FALSE(restarted->shouldShowAd(connect));
  h.clock().advance(0.5);
  EXPECT_TRUE(restarted->shouldShowAd(connect));
  EXPECT_TRUE(h.logger->entries().empty());
}

}  // namespace
}  // namespace QVRAdKit
