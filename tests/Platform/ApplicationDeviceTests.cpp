#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "QVRAdKit/Platform/Application.h"
#include "QVRAdKit/Platform/Device.h"

namespace QVRAdKit::Platform {
namespace {

class ApplicationDeviceTest : public ::testing::Test {
 protected:
  std::shared_ptr<NotificationCenter> center = std::make_shared<NotificationCenter>();
  std::vector<std::string> posted;
  std::vector<const void*> senders;

  void observe(std::string_view name) {
    center->addObserver(std::string(name), nullptr, [this](const Notification& n) {
      posted.push_back(n.name);
      senders.push_back(n.object);
    });
  }
};

TEST_F(ApplicationDeviceTest, StateTransitionsPostOnceAndOnlyOnChange) {
  Application application(center);
  observe(UIApplicationDidBecomeActiveNotification);
  observe(UIApplicationDidEnterBackgroundNotification);
  ASSERT_EQ(application.applicationState(), ApplicationState::active);

  application.setApplicationState(ApplicationState::active);  // active -> active: silent
  application.setApplicationState(ApplicationState::inactive);
  EXPECT_TRUE(posted.empty());

  application.setApplicationState(ApplicationState::active);
  application.setApplicationState(ApplicationState::background);
  application.setApplicationState(ApplicationState::background);
  application.setApplicationState(ApplicationState::inactive);
  application.setApplicationState(ApplicationState::active);
  EXPECT_EQ(posted, (std::vector<std::string>{"UIApplicationDidBecomeActiveNotification",
                                              "UIApplicationDidEnterBackgroundNotification",
                                              "UIApplicationDidBecomeActiveNotification"}));
  EXPECT_EQ(senders, (std::vector<const void*>(3, &application)));
  EXPECT_EQ(application.applicationState(), ApplicationState::active);
}

TEST_F(ApplicationDeviceTest, OpensOnlyWhatItCanOpen) {
  Application application(center);
  const URL web = *URL::string("HTTPS://example.com/offer");
  const URL store = *URL::string("itms-apps://apps.apple.com/app/id1");
  EXPECT_TRUE(application.canOpenURL(web));
  EXPECT_FALSE(application.canOpenURL(store));

  EXPECT_TRUE(application.open(web));
  EXPECT_FALSE(application.open(store));
  EXPECT_EQ(application.openedURLs(), std::vector<URL>{web});

  application.setCanOpenURLHandler([](const URL& url) { return url.scheme() == "itms-apps"; });
  EXPECT_TRUE(application.open(store));
  EXPECT_FALSE(application.canOpenURL(web));
  EXPECT_EQ(application.openedURLs(), (std::vector<URL>{web, store}));

  application.setCanOpenURLHandler(nullptr);
  EXPECT_TRUE(application.canOpenURL(web));
}

TEST_F(ApplicationDeviceTest, OrientationChangePostsOnlyOnChange) {
  Device device(center, DeviceOrientation::portrait);
  observe(UIDeviceOrientationDidChangeNotification);

  device.setOrientation(DeviceOrientation::portrait);
  EXPECT_TRUE(posted.empty());
  device.setOrientation(DeviceOrientation::landscapeLeft);
  device.setOrientation(DeviceOrientation::landscapeLeft);
  device.setOrientation(DeviceOrientation::faceUp);
  EXPECT_EQ(posted, (std::vector<std::string>(2, "UIDeviceOrientationDidChangeNotification")));
  EXPECT_EQ(senders.front(), &device);
  EXPECT_EQ(device.orientation(), DeviceOrientation::faceUp);
  EXPECT_FALSE(isLandscape(device.orientation()));
  EXPECT_FALSE(isPortrait(device.orientation()));

  EXPECT_FALSE(device.isPad());
  device.setIsPad(true);
  EXPECT_TRUE(device.isPad());
}

}  // namespace
}  // namespace QVRAdKit::Platform
