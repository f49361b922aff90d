#include "widgetbench.h"
#include "benchtext.h"
#include "panes/textpane.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <map>
#include <unistd.h>

using vardo::TextPane;

namespace {

std::string sourceFile(int lines)
{
    static std::map<int, std::string> files;
    auto &path = files[lines];
    if (path.empty()) {
        path = "/tmp/vardo-bench-" + std::to_string(::getpid()) + "-" + std::to_string(lines) + ".qc";
        std::ofstream(path, std::ios::binary) << quakecSource(lines);
    }
    return path;
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

void BM_Load(benchmark::State &state)
{
    const std::string path = sourceFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TextPane pane(TextPane::Kind::RichEdit);
        pane.loadFromFile(path);
        benchmark::DoNotOptimize(pane.document());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(quakecSource(static_cast<int>(state.range(0))).size()));
}

// Measures resident memory with the file open in the pane, relative to the file's size.
void BM_LoadMemory(benchmark::State &state)
{
    const std::string path = sourceFile(static_cast<int>(state.range(0)));
    const double bytes = static_cast<double>(quakecSource(static_cast<int>(state.range(0))).size());
    for (auto _ : state) {
        const long before = residentKiB();
        TextPane pane(TextPane::Kind::RichEdit);
        pane.loadFromFile(path);
        pane.lineCount();
        state.counters["rss_per_file_byte"] = (residentKiB() - before) * 1024.0 / bytes;
    }
}

template <typename Operation>
void onLoadedPane(benchmark::State &state, Operation operation)
{
    TextPane pane(TextPane::Kind::RichEdit);
    pane.loadFromFile(sourceFile(static_cast<int>(state.range(0))));
    for (auto _ : state)
        operation(pane);
}

void BM_WholeText(benchmark::State &state)
{
    onLoadedPane(state, [](TextPane &pane) { benchmark::DoNotOptimize(pane.wholeText()); });
}

void BM_LineCount(benchmark::State &state)
{
    onLoadedPane(state, [](TextPane &pane) { benchmark::DoNotOptimize(pane.lineCount()); });
}

void BM_EveryLineByIndex(benchmark::State &state)
{
    onLoadedPane(state, [](TextPane &pane) {
        const int count = pane.lineCount();
        for (int i = 0; i < count; ++i)
            benchmark::DoNotOptimize(pane.line(i));
    });
}

void BM_FindWordAtTheEnd(benchmark::State &state)
{
    onLoadedPane(state, [](TextPane &pane) {
        benchmark::DoNotOptimize(pane.findText("ENDMARKER", 0, pane.textLength()));
    });
}

} // namespace

BENCHMARK(BM_Load)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMemory)->Arg(300000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeText)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LineCount)->Arg(30000)->Arg(300000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EveryLineByIndex)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindWordAtTheEnd)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    const int status = runWidgetBenchmarks(argc, argv);
    for (int lines : {30000, 300000})
        std::remove(sourceFile(lines).c_str());
    return status;
}
