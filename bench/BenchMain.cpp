// The benchmark programs' entry point: Google Benchmark's own steps, but a run that measured
// nothing (a filter that matches no benchmark, or one that does not compile) or whose report did
// not reach standard output exits 1, so that a script with a misspelled filter does not pass.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <iostream>

int main(int argc, char** argv) {
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
