// Quick open over a large project: one typed key at 10,000 files (ranking and the list shown),
// set against a plain search of the same names, and the longest the window waits while
// 100,000 files are listed.
#include "floor.h"
#include "stallwatch.h"
#include "widgetbench.h"
#include "windowbench.h"

#include "app/form1.h"
#include "quickopen/quickopen.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <array>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using vardo::QuickOpen;

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// A tree of `count` offered files, a hundred to a folder, named as mods name them.
const std::string &treeOf(int count)
{
    static std::map<int, std::unique_ptr<QTemporaryDir>> trees;
    static std::map<int, std::string> paths;
    if (!trees.contains(count)) {
        static constexpr std::array<const char *, 8> kWords = {"monster", "weapon", "player", "trigger",
                                                               "item",    "ai",     "client", "func"};
        static constexpr std::array<const char *, 4> kExtensions = {".qc", ".qh", ".txt", ".cfg"};
        auto &dir = trees[count] = std::make_unique<QTemporaryDir>();
        const std::string root = dir->path().toStdString();
        for (int i = 0; i < count; ++i) {
            const std::string folder = root + "/" + kWords[(i / 100) % 8] + "s" + std::to_string(i / 100);
            if (i % 100 == 0)
                ::mkdir(folder.c_str(), 0755);
            std::ofstream(folder + "/" + kWords[i % 8] + "_" + kWords[(i / 8) % 8] + std::to_string(i) +
                          kExtensions[i % 4]);
        }
        paths[count] = root;
    }
    return paths[count];
}

// The window's quick open, popped up over a tree and listed to the end.
QuickOpen &listedOver(const std::string &root, double *longestStall = nullptr)
{
    vardo::TForm1 &form = windowbench::shownWindow();
    if (::chdir(root.c_str()) != 0)
        std::abort();
    std::optional<StallWatch> stalls;
    if (longestStall)
        stalls.emplace(*longestStall);
    form.quickOpen->popUp();
    while (form.quickOpen->isListing())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return *form.quickOpen;
}

// Keys as typed: each query a letter longer, from a single letter to a word.
constexpr std::array<const char *, 8> kTyped = {"m", "mo", "mon", "mons", "monst", "monstw", "monstwe", "wpn"};

void BM_QuickOpenKey(benchmark::State &state)
{
    QuickOpen &popup = listedOver(treeOf(static_cast<int>(state.range(0))));
    QLineEdit *filter = popup.findChild<QLineEdit *>();
    std::vector<std::string> names = popup.files();
    double ours = 0, floor = 0;
    std::size_t key = 0, found = 0;
    for (auto _ : state) {
        const char *typed = kTyped[key++ % kTyped.size()];
        const auto start = Clock::now();
        filter->setText(QString::fromLatin1(typed));
        const auto middle = Clock::now();
        // Floor: the names that hold the typed text as it stands.
        for (const std::string &name : names)
            found += name.find(typed) != std::string::npos;
        const auto end = Clock::now();
        ours += seconds(start, middle);
        floor += seconds(middle, end);
        state.SetIterationTime(seconds(start, middle));
    }
    benchmark::DoNotOptimize(found);
    if (names.size() != static_cast<std::size_t>(state.range(0)))
        state.SkipWithError("quick open did not list every file");
    reportAgainstFloor(state, ours, floor);
}

// While 100,000 files are listed the window keeps turning.
void BM_QuickOpenListing(benchmark::State &state)
{
    const std::string &root = treeOf(static_cast<int>(state.range(0)));
    double longestStall = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(listedOver(root, &longestStall).files().size());
    state.counters["longest_stall_ms"] = longestStall;
}

} // namespace

BENCHMARK(BM_QuickOpenKey)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickOpenListing)->Arg(100000)->Iterations(2)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    const int status = runWidgetBenchmarks(argc, argv);
    windowbench::closeShownWindow();
    return status;
}
