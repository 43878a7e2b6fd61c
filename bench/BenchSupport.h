#pragma once

#include <benchmark/benchmark.h>
#include <chrono>
#include <string>

namespace vexana::bench {

inline double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Times f once; the best of `runs` runs is the figure (the least disturbed one).
template <class F> double bestOf(int runs, F&& f) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        best = std::min(best, secondsSince(t0));
    }
    return best;
}

// Runs baseline and subject in alternating rounds, so both see the same machine state;
// the best round of each is the figure.
template <class B, class S>
std::pair<double, double> compare(int rounds, B&& baseline, S&& subject) {
    double b = 1e300, s = 1e300;
    for (int i = 0; i < rounds; ++i) {
        b = std::min(b, bestOf(1, baseline));
        s = std::min(s, bestOf(1, subject));
    }
    return {b, s};
}

// Reports a measurement next to its baseline: both times and their ratio.
inline void report(benchmark::State& state, double baselineSeconds, double vexanaSeconds) {
    state.counters["baseline_ms"] = baselineSeconds * 1000.0;
    state.counters["vexana_ms"] = vexanaSeconds * 1000.0;
    state.counters["ratio"] = baselineSeconds > 0 ? vexanaSeconds / baselineSeconds : 0.0;
}

// A copy of the generated project for a benchmark that changes it.
std::string workingCopy(const std::string& source, const std::string& name);

// The shared synthetic project (generated on first use, then reused by this build).
const std::string& standardProject();

} // namespace vexana::bench
