#include "Sandbox/MonteCarlo/ProgressBar.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <sstream>
#include <string>

namespace QVRAdKit::Sandbox {
namespace {

TEST(ProgressBarTest, DrawsNothingWhenTheDescriptorIsNoTerminal) {
  std::array<int, 2> pipe{};
  ASSERT_EQ(::pipe(pipe.data()), 0);
  std::ostringstream out;
  auto bar = ProgressBar::forDescriptor(pipe[1], out, 10, "sessions");
  EXPECT_FALSE(bar.enabled());
  for (std::uint64_t done = 1; done <= 10; ++done) bar.update(done);
  bar.finish();
  EXPECT_EQ(out.str(), "");
  ::close(pipe[0]);
  ::close(pipe[1]);
}

TEST(ProgressBarTest, RedrawsOneLineOnlyWhenItChangesAndErasesItAtTheEnd) {
  std::ostringstream out;
  ProgressBar bar(out, true, 4, "sessions");
  bar.update(2);
  const std::string half = "\r[" + std::string(15, '#') + std::string(15, '.') + "] 2/4 sessions";
  EXPECT_EQ(out.str(), half);
  bar.update(2);
  EXPECT_EQ(out.str(), half) << "the same count is not drawn again";
  bar.update(9);  // past the end: shown as the end
  EXPECT_EQ(out.str().substr(half.size()), "\r[" + std::string(30, '#') + "] 4/4 sessions");
  out.str("");
  bar.finish();
  EXPECT_EQ(out.str(), "\r\x1b[2K");
  out.str("");
  bar.finish();
  EXPECT_EQ(out.str(), "") << "nothing left to erase";

  // A large run redraws at most a thousand times.
  std::ostringstream many;
  ProgressBar large(many, true, 1000000, "sessions");
  for (std::uint64_t done = 1; done <= 1000000; done += 7) large.update(done);
  const std::string drawn = many.str();
  const auto draws = static_cast<std::size_t>(std::count(drawn.begin(), drawn.end(), '\r'));
  EXPECT_LE(draws, 1001u);
  EXPECT_GT(draws, 900u);
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
