#pragma once
// Collects each benchmark's median and best time (repetitions with a "min"
// statistic) while printing the usual console table, so that a program can
// put side-by-side ratios from one run into its summary.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace ovl::bench {

struct Timing {
  double median = 0, best = 0;  // seconds per iteration
};

// The "min" statistic of a benchmark's repetitions.
inline double Smallest(const std::vector<double>& v) { return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end()); }

class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  enum class Clock { Cpu, Real };
  explicit CollectingReporter(Clock clock) : clock_(clock) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // The benchmarks report milliseconds.
      const double ms = clock_ == Clock::Cpu ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
      if (run.aggregate_name == "median") timings[run.run_name.function_name].median = ms / 1e3;
      if (run.aggregate_name == "min") timings[run.run_name.function_name].best = ms / 1e3;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, Timing> timings;

 private:
  Clock clock_;
};

}  // namespace ovl::bench
