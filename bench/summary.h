#pragma once

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

// One line of figures for a series of timings in milliseconds.
inline void Print(const char* what, std::vector<double> ms) {
  if (ms.empty()) {
    std::printf("%-34s no conversations recorded\n", what);
    return;
  }
  std::sort(ms.begin(), ms.end());
  const double mean = std::accumulate(ms.begin(), ms.end(), 0.0) / static_cast<double>(ms.size());
  std::printf("%-34s n=%4zu  median %7.3f ms  mean %7.3f ms  p90 %7.3f ms  min %7.3f ms\n", what,
              ms.size(), ms[ms.size() / 2], mean, ms[ms.size() * 9 / 10], ms.front());
}

inline double Median(std::vector<double> ms) {
  if (ms.empty()) return 0;
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}
