#pragma once

// Timing helpers of the benchmark: wall time of one call and the median of several.

#include <algorithm>
#include <chrono>
#include <vector>

namespace digital_id::bench {

// Milliseconds of wall time that work() takes; ok receives what it returns.
template <typename Work>
double MeasureMs(Work&& work, bool& ok) {
  const auto start = std::chrono::steady_clock::now();
  ok = work();
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  return took.count();
}

// The median of the samples (the mean of the middle two for an even count); 0 for none.
inline double Median(std::vector<double> samples) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const std::size_t middle = samples.size() / 2;
  return samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

}  // namespace digital_id::bench
