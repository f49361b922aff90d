// The start of the editor, process to shown window, against an empty Qt window started the
// same way. Both run on the offscreen platform in a directory of a few QuakeC files.
#include "floor.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

// Runs the probe in one mode and returns its wall time in seconds, or a negative value when it
// failed.
double startOnce(const char *mode)
{
    const std::string probe = STARTUP_PROBE;
    char *const argv[] = {const_cast<char *>(probe.c_str()), const_cast<char *>(mode), nullptr};
    const auto start = Clock::now();
    pid_t pid = 0;
    if (::posix_spawn(&pid, probe.c_str(), nullptr, nullptr, argv, environ) != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed : -1;
}

void BM_StartUp(benchmark::State &state)
{
    QTemporaryDir directory;
    for (const char *name : {"defs.qc", "world.qc", "weapons.qc", "progs.src"})
        std::ofstream(directory.path().toStdString() + "/" + name) << "void() main =\r\n{\r\n};\r\n";
    if (::chdir(directory.path().toLocal8Bit().constData()) != 0 || ::setenv("QT_QPA_PLATFORM", "offscreen", 1) != 0) {
        state.SkipWithError("cannot prepare the start");
        return;
    }
    // The first starts fill the system's caches for both.
    startOnce("window");
    startOnce("bare");
    startOnce("text");
    double ours = 0, floor = 0, textFloor = 0;
    for (auto _ : state) {
        const double window = startOnce("window");
        const double bare = startOnce("bare");
        const double text = startOnce("text");
        if (window < 0 || bare < 0 || text < 0) {
            state.SkipWithError("the probe failed");
            return;
        }
        ours += window;
        floor += bare;
        textFloor += text;
        state.SetIterationTime(window);
    }
    reportAgainstFloor(state, ours, floor);
    state.counters["text_floor_ms"] = 1000 * textFloor / static_cast<double>(state.iterations());
    state.counters["ratio_text"] = ours / textFloor;
}
BENCHMARK(BM_StartUp)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
