// Whole-process loads, each in a process of its own (load_probe), against their floors in the
// same run:
// - a 10 MB QuakeC file opened as the editor is started on it, until the process is idle (the
//   checker's thread aside, whose first check of a large file is not part of the load); floor:
//   a bare QPlainTextEdit program in the editor's face, no colour, setPlainText of the file;
// - the editor started in a 10 MB mod until its index answers F12; floor: an empty window
//   started and shown, then the project's files read.
// Both report wall time from the process's start and processor time until then. VARDO_PROBE
// names another build's probe to run in place of this one's (the floors run in this one's).
#include "benchroot.h"
#include "benchtext.h"
#include "qccorpus.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

namespace fs = std::filesystem;

struct Run {
    double wallMs = -1; // from the process's start to the moment it was done
    double cpuMs = 0;
    double checkerMs = 0;
};

std::int64_t monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Runs the probe with `arguments`; a negative wall time when it failed.
Run probe(std::vector<std::string> arguments, const char *program = LOAD_PROBE)
{
    arguments.insert(arguments.begin(), program);
    std::vector<char *> argv;
    for (std::string &a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::int64_t start = monotonicNs();
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    Run run;
    if (spawned == 0) {
        FILE *report = ::fdopen(out[0], "r");
        long long doneAt = 0;
        int status = 0;
        const bool read = std::fscanf(report, "%lld %lf %lf", &doneAt, &run.cpuMs, &run.checkerMs) == 3;
        std::fclose(report);
        ::waitpid(pid, &status, 0);
        if (read && WIFEXITED(status) && WEXITSTATUS(status) == 0)
            run.wallMs = static_cast<double>(doneAt - start) / 1e6;
    } else {
        ::close(out[0]);
    }
    return run;
}

// Runs ours and the floor by turns and reports both against each other.
void compare(benchmark::State &state, const std::vector<std::string> &ours, const std::vector<std::string> &floor)
{
    if (::setenv("QT_QPA_PLATFORM", "offscreen", 1) != 0)
        return state.SkipWithError("cannot set the platform");
    const char *program = std::getenv("VARDO_PROBE") ? std::getenv("VARDO_PROBE") : LOAD_PROBE;
    // The first runs fill the system's caches for both.
    probe(ours, program);
    probe(floor);
    Run sum, floorSum;
    for (auto _ : state) {
        const Run a = probe(ours, program);
        const Run b = probe(floor);
        if (a.wallMs < 0 || b.wallMs < 0)
            return state.SkipWithError("the probe failed");
        sum.wallMs += a.wallMs;
        sum.cpuMs += a.cpuMs;
        sum.checkerMs += a.checkerMs;
        floorSum.wallMs += b.wallMs;
        floorSum.cpuMs += b.cpuMs;
        state.SetIterationTime(a.wallMs / 1e3);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["floor_ms"] = floorSum.wallMs / n;
    state.counters["ratio"] = sum.wallMs / floorSum.wallMs;
    state.counters["cpu_ms"] = sum.cpuMs / n;
    state.counters["floor_cpu_ms"] = floorSum.cpuMs / n;
    state.counters["cpu_ratio"] = sum.cpuMs / floorSum.cpuMs;
    state.counters["checker_ms"] = sum.checkerMs / n;
}

const fs::path &tenMegabyteFile()
{
    static const fs::path file = [] {
        const fs::path path = benchRoot("vardo-load-bench") / "ten" / "ten.qc";
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << quakecSource(300000);
        return path;
    }();
    return file;
}

const fs::path &tenMegabyteMod()
{
    static const fs::path directory = [] {
        const fs::path path = benchRoot("vardo-load-bench") / "mod";
        QcCorpus(path, 450, 10u << 20);
        return path;
    }();
    return directory;
}

void BM_OpenTenMegabytes(benchmark::State &state)
{
    const std::string file = tenMegabyteFile().string();
    compare(state, {"open", file}, {"bare", file});
}
BENCHMARK(BM_OpenTenMegabytes)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_IndexReadyAfterStart(benchmark::State &state)
{
    const std::string directory = tenMegabyteMod().string();
    // A frame function of the last file.
    compare(state, {"index", directory, "mon449_stand8"}, {"read", directory});
}
BENCHMARK(BM_IndexReadyAfterStart)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
