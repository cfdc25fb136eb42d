#pragma once
// The reporting convention of every benchmark: counters "samples_per_s", "x_realtime" (samples
// per second divided by the chain's sampling rate) and "cycles_per_sample" (time-stamp counter
// cycles) and the label "chain|kernel|rate", which
// scripts/bench turns into one table.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace bench {

// Ticks per second of the time-stamp counter (0 where there is none), measured once.
inline double timeStampHz() {
#if defined(__x86_64__) || defined(__i386__)
    static const double hz = [] {
        using clock = std::chrono::steady_clock;
        const auto t0 = clock::now();
        const uint64_t c0 = __rdtsc();
        while (clock::now() - t0 < std::chrono::milliseconds(50)) {
        }
        const double seconds = std::chrono::duration<double>(clock::now() - t0).count();
        return double(__rdtsc() - c0) / seconds;
    }();
    return hz;
#else
    return 0;
#endif
}

inline void reportRate(benchmark::State& state, const std::string& chain, const std::string& kernel,
                       double samplingRate, int64_t samplesPerIteration) {
    const double samples = static_cast<double>(samplesPerIteration) * static_cast<double>(state.iterations());
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    state.counters["samples_per_s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
    state.counters["x_realtime"] = benchmark::Counter(samples / samplingRate, benchmark::Counter::kIsRate);
    // Time-stamp counter cycles per sample: seconds per sample times the counter's rate.
    if (const double hz = timeStampHz(); hz > 0)
        state.counters["cycles_per_sample"] =
            benchmark::Counter(samples / hz, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel(chain + "|" + kernel + "|" + std::to_string(static_cast<int64_t>(samplingRate)));
}

// Runs the registered benchmarks. With the console format (the default) tables() first prints what is
// not a speed (sensitivity tables, start-up times), so that CSV or JSON output stays one table.
inline int runBenchmarks(int& argc, char** argv, void (*tables)() = nullptr)
{
    bool console = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--benchmark_format=", 0) == 0 && arg != "--benchmark_format=console")
            console = false;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (console && tables)
        tables();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace bench
