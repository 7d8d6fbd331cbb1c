// The benchmark programs' entry point: Google Benchmark's own steps, but a run that measured
// nothing (a filter that matches no benchmark, or one that does not compile) or whose report did
// not reach standard output or the --benchmark_out file exits 1, so that a script with a
// misspelled filter does not pass. A setting the library would misread is refused with exit 2
// before it starts, whether given as a flag or through the environment variable the library reads
// as its default (BENCHMARK_FORMAT for --benchmark_format, and so on): a report format other than
// console, json and csv (the library prints its usage and exits 0), fewer than 1 repetition (0
// measures nothing, a negative count aborts) and a negative minimum time (one iteration reported as
// a result).
// The JSON and CSV reports leave out a counter whose statistic is not a number (the cv of an
// allocation count that is always 0 is 0 / 0): JSON has no NaN, and its readers refuse one.

#include <benchmark/benchmark.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A setting's value as the library takes it: the last --name=VALUE argument, else the environment
// variable NAME (upper case), else none.
struct Setting {
  std::string source;  // "--name=VALUE" or "NAME=VALUE", for messages
  std::string value;
};

std::optional<Setting> setting(int argc, char** argv, std::string_view name) {
  const std::string option = "--" + std::string(name) + "=";
  for (int i = argc - 1; i >= 1; --i) {
    const std::string_view argument = argv[i];
    if (argument.starts_with(option)) {
      return Setting{std::string(argument), std::string(argument.substr(option.size()))};
    }
  }
  std::string variable(name);
  for (char& c : variable) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (const char* value = std::getenv(variable.c_str())) {
    return Setting{variable + "=" + value, value};
  }
  return std::nullopt;
}

bool knownFormat(std::string_view format) {
  constexpr std::array<std::string_view, 3> kFormats = {"console", "json", "csv"};
  for (std::string_view known : kFormats) {
    if (format == known) return true;
  }
  return false;
}

// Why the settings cannot be run, or empty. A value the library cannot parse at all is left to it
// (it reports the argument as unrecognized).
std::string refusal(int argc, char** argv) {
  for (std::string_view name : {"benchmark_format", "benchmark_out_format"}) {
    if (auto format = setting(argc, argv, name); format && !knownFormat(format->value)) {
      return format->source + ": the formats are console, json and csv";
    }
  }
  if (auto repetitions = setting(argc, argv, "benchmark_repetitions")) {
    const char* text = repetitions->value.c_str();
    char* end = nullptr;
    errno = 0;
    const long long count = std::strtoll(text, &end, 10);
    if (end != text && *end == '\0' && (count < 1 || errno == ERANGE)) {
      return repetitions->source + ": the repetitions are a whole number from 1";
    }
  }
  if (auto minimum = setting(argc, argv, "benchmark_min_time")) {
    const char* text = minimum->value.c_str();
    char* end = nullptr;
    const double seconds = std::strtod(text, &end);
    if (end != text && *end == '\0' && !(std::isfinite(seconds) && seconds >= 0)) {
      return minimum->source + ": the minimum time is a number of seconds from 0";
    }
  }
  return {};
}

// Whether everything a reporter wrote reached its stream, known once the run is over (the stream of
// a --benchmark_out file is gone by the time the run returns).
class WriteCheck {
 public:
  virtual ~WriteCheck() = default;
  virtual bool failed() const = 0;
};

// One of the library's reporters, leaving out counters whose value is not a number.
template <class Reporter>
class CheckedReporter final : public Reporter, public WriteCheck {
 public:
  using Reporter::Reporter;

  void ReportRuns(const std::vector<benchmark::BenchmarkReporter::Run>& runs) override {
    std::vector<benchmark::BenchmarkReporter::Run> finite = runs;
    for (auto& run : finite) {
      std::erase_if(run.counters,
                    [](const auto& counter) { return std::isnan(counter.second.value); });
    }
    Reporter::ReportRuns(finite);
  }

  void Finalize() override {
    Reporter::Finalize();
    std::ostream& stream = this->GetOutputStream();
    stream.flush();
    failed_ = !stream;
  }

  bool failed() const override { return failed_; }

 private:
  bool failed_ = false;
};

struct Report {
  std::unique_ptr<benchmark::BenchmarkReporter> reporter;
  const WriteCheck* check = nullptr;
};

template <class Reporter, class... Arguments>
Report made(Arguments... arguments) {
  auto reporter = std::make_unique<CheckedReporter<Reporter>>(arguments...);
  const WriteCheck* check = reporter.get();
  return {std::move(reporter), check};
}

// A reporter for a known format; console is written without colours, as the library writes a file.
Report report(std::string_view format) {
  if (format == "json") return made<benchmark::JSONReporter>();
  if (format == "csv") {
    // The library marks its CSV writer deprecated, but it is still the one --benchmark_format=csv
    // and --benchmark_out_format=csv write with.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return made<benchmark::CSVReporter>();
#pragma GCC diagnostic pop
  }
  return made<benchmark::ConsoleReporter>(benchmark::ConsoleReporter::OO_None);
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::string why = refusal(argc, argv); !why.empty()) {
    std::fprintf(stderr, "%s: %s\n", argv[0], why.c_str());
    return 2;
  }
  // The reporters for JSON and CSV are the library's own, wrapped; a console report on standard
  // output is left to the library, which chooses its colours and columns for the terminal. The
  // file report's format defaults to JSON, as the library's does.
  const auto format = setting(argc, argv, "benchmark_format");
  const auto out = setting(argc, argv, "benchmark_out");
  const auto outFormat = setting(argc, argv, "benchmark_out_format");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Report display;
  if (format && format->value != "console") display = report(format->value);
  Report file;
  if (out && !out->value.empty()) file = report(outFormat ? outFormat->value : "json");
  const auto ran = benchmark::RunSpecifiedBenchmarks(display.reporter.get(), file.reporter.get());
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
  if (file.check != nullptr && file.check->failed()) {
    std::fprintf(stderr, "%s: cannot write the results to %s\n", argv[0], out->value.c_str());
    return 1;
  }
  return 0;
}
