#pragma once
// A console reporter that keeps each benchmark's real time per iteration,
// so that a program can print the ratio of a measured benchmark to its
// baseline of the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.iterations > 0) {
        seconds_[run.run_name.function_name] =
            run.real_accumulated_time / static_cast<double>(run.iterations);
        cpuSeconds_[run.run_name.function_name] =
            run.cpu_accumulated_time / static_cast<double>(run.iterations);
      }
    }
  }
  void PrintRatio(const char* what, const char* measured, const char* baseline) const {
    const auto m = seconds_.find(measured);
    const auto b = seconds_.find(baseline);
    if (m != seconds_.end() && b != seconds_.end() && b->second > 0.0) {
      std::printf("ratio %-44s %.3f  (%s / %s)\n", what, m->second / b->second, measured, baseline);
    }
  }
  // Real seconds per iteration of a benchmark, 0 when it did not run.
  double Seconds(const char* name) const {
    const auto it = seconds_.find(name);
    return it == seconds_.end() ? 0.0 : it->second;
  }
  // CPU seconds of the benchmark's own thread per iteration.
  double CpuSeconds(const char* name) const {
    const auto it = cpuSeconds_.find(name);
    return it == cpuSeconds_.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> seconds_;
  std::map<std::string, double> cpuSeconds_;
};
