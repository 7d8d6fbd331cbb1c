// Laying out a one-line label (numberOfLines = 1) whose title shrinks to fit (down to half its
// size) and is cut when even that is too wide, at titles of 10, 1,000 and 100,000 characters: the
// label's worst case, one fitting search over the whole text. The partner banner's title label
// wraps (numberOfLines = 0), so this is not the banner's own path. The time must grow with the
// text, not with the text times the number of 1% steps tried (the BigO row fits the growth). Two
// titles alternate, so that every layout is computed, not taken from the label's kept layouts.
// Run: qvradkit_bench --benchmark_filter=Label --benchmark_repetitions=5
//        --benchmark_report_aggregates_only

#include <benchmark/benchmark.h>

#include <string>

#include "QVRAdKit/UI/Label.h"

namespace QVRAdKit::UI {
namespace {

void BM_LabelShrinkingTitleLayout(benchmark::State& state) {
  const auto length = static_cast<std::size_t>(state.range(0));
  std::string title;
  for (std::size_t i = 0; title.size() < length; ++i) title += i % 6 == 5 ? ' ' : 'a';
  const std::string titles[] = {title, title.substr(0, length - 1) + "b"};
  auto label = Label::create();
  label->setFont(Font::system(17));
  label->setAdjustsFontSizeToFitWidth(true);
  label->setMinimumScaleFactor(0.5);
  // 10 characters at 17 points are 93.5 wide: every title here has to shrink.
  const double width = 80;
  std::size_t next = 0;
  for (auto _ : state) {
    label->setText(titles[next]);
    next ^= 1U;
    TextLayout layout = label->textLayout(width);
    benchmark::DoNotOptimize(layout.lines.data());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LabelShrinkingTitleLayout)->Arg(10)->Arg(1000)->Arg(100000)->Complexity();

}  // namespace
}  // namespace QVRAdKit::UI
