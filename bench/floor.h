#pragma once

#include <benchmark/benchmark.h>

// The figures of a benchmark timed against a floor measured in the same run, from the totals
// of both in seconds: the floor's mean time per iteration and the ratio.
inline void reportAgainstFloor(benchmark::State &state, double ours, double floor)
{
    state.counters["floor_ms"] = 1000 * floor / static_cast<double>(state.iterations());
    state.counters["ratio"] = ours / floor;
}
