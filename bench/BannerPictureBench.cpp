// Drawing the partner banner as an SVG document, with its text measured in the drawn font, for an
// unbroken title of 10, 1,000, 10,000 and 100,000 characters at a phone's width: the title shrinks
// as far as it may and still breaks over hundreds of lines, so the time must grow with the title,
// not with the title times its lines (the BigO row fits the growth).
// Run: qvradkit_bench --benchmark_filter=BannerPicture --benchmark_repetitions=3
//        --benchmark_report_aggregates_only

#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>

#include "Sandbox/Banner/BannerPicture.h"

namespace QVRAdKit::Sandbox {
namespace {

void BM_BannerPictureUnbrokenTitle(benchmark::State& state) {
  BannerPicture::Options options;
  options.title = std::string(static_cast<std::size_t>(state.range(0)), 'a');
  while (state.KeepRunning()) {
    std::string document = BannerPicture::svg(options);
    benchmark::DoNotOptimize(document.data());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BannerPictureUnbrokenTitle)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
}  // namespace QVRAdKit::Sandbox
