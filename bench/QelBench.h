#pragma once
// The reporting convention of every benchmark: counters "samples_per_s" and "x_realtime" (samples
// per second divided by the chain's sampling rate) and the label "chain|kernel|rate", which
// scripts/bench turns into one table.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace bench {

inline void reportRate(benchmark::State& state, const std::string& chain, const std::string& kernel,
                       double samplingRate, int64_t samplesPerIteration) {
    const double samples = static_cast<double>(samplesPerIteration) * static_cast<double>(state.iterations());
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    state.counters["samples_per_s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
    state.counters["x_realtime"] = benchmark::Counter(samples / samplingRate, benchmark::Counter::kIsRate);
    state.SetLabel(chain + "|" + kernel + "|" + std::to_string(static_cast<int64_t>(samplingRate)));
}

}  // namespace bench
