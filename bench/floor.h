#pragma once

#include <benchmark/benchmark.h>
#include <ctime>

// The figures of a benchmark timed against a floor measured in the same run, from the totals
// of both in seconds: the floor's mean time per iteration and the ratio.
inline void reportAgainstFloor(benchmark::State &state, double ours, double floor)
{
    state.counters["floor_ms"] = 1000 * floor / static_cast<double>(state.iterations());
    state.counters["ratio"] = ours / floor;
}

// The processor time of the calling thread, in seconds: the window's own work, without the
// background threads'.
inline double threadSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
