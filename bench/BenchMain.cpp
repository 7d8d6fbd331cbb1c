// The benchmark programs' entry point: Google Benchmark's own steps, but a run that measured
// nothing (a filter that matches no benchmark, or one that does not compile) or whose report did
// not reach standard output exits 1, so that a script with a misspelled filter does not pass.
// A report format the library does not know is refused with exit 2 before it starts: the library
// itself prints its usage and exits 0 for one.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <iostream>
#include <string_view>

namespace {

// The value of --benchmark_format=X or --benchmark_out_format=X when X is not a format the
// library writes; empty when the argument is something else or a known format.
std::string_view unknownFormat(std::string_view argument) {
  constexpr std::array<std::string_view, 3> kFormats = {"console", "json", "csv"};
  for (std::string_view option : {"--benchmark_format=", "--benchmark_out_format="}) {
    if (!argument.starts_with(option)) continue;
    const std::string_view format = argument.substr(option.size());
    for (std::string_view known : kFormats) {
      if (format == known) return {};
    }
    return argument;
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (const std::string_view unknown = unknownFormat(argv[i]); !unknown.empty()) {
      std::fprintf(stderr, "%s: %.*s: the formats are console, json and csv\n", argv[0],
                   static_cast<int>(unknown.size()), unknown.data());
      return 2;
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const auto ran = benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (ran == 0) {
    std::fprintf(stderr,
                 "%s: no benchmark ran (see --benchmark_filter and --benchmark_list_tests)\n",
                 argv[0]);
    return 1;
  }
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "%s: cannot write the results to standard output\n", argv[0]);
    return 1;
  }
  return 0;
}
