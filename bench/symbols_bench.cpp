// The symbol index of a whole mod: built from a generated corpus of the game sources' shape,
// one file re-indexed, and the look-ups the window makes. The floor is reading the same files and
// counting their lines with the standard library.
// Then the same in the real window: Ctrl+Space among many names (floor: sorting the same names
// with std::sort), and how long the window's event loop goes unserved while a large file
// written outside is read again, and while F12 follows typing in a large edited file.
#include "benchroot.h"
#include "floor.h"
#include "qccorpus.h"
#include "widgetbench.h"

#include "app/form1.h"
#include "core/files/fileio.h"
#include "core/qc/sourcelist.h"
#include "core/qc/symbols.h"
#include "edit/editcontroller.h"
#include "lists/directorylistbox.h"
#include "panes/textpane.h"
#include "symbols/projectsymbols.h"
#include "symbols/symbolnavigator.h"

#include <QElapsedTimer>
#include <QListView>
#include <QTextBlock>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const vardo::qc::ReadFile readFile = [](const std::string &path) {
    return vardo::fileio::readWholeFile(path, 1u << 28);
};

// A corpus per size in megabytes, kept for the whole run.
struct Mod {
    fs::path directory;
    std::unique_ptr<QcCorpus> corpus;
    vardo::qc::SourceList project;
};

Mod &mod(std::int64_t megabytes)
{
    static std::map<std::int64_t, Mod> mods;
    Mod &m = mods[megabytes];
    if (!m.corpus) {
        m.directory = benchRoot("vardo-symbols-bench") / std::to_string(megabytes);
        // About 45 files for a mod the size of the game's; ten times the files for ten times the data.
        const std::size_t files = static_cast<std::size_t>(45 * std::max<std::int64_t>(1, megabytes));
        m.corpus = std::make_unique<QcCorpus>(m.directory, files, static_cast<std::size_t>(megabytes) << 20);
        m.project = vardo::qc::readProjects(m.directory.string(), readFile).at(0);
    }
    return m;
}

void BM_ReadFilesFloor(benchmark::State &state)
{
    Mod &m = mod(state.range(0));
    for (auto _ : state) {
        std::size_t lines = 0;
        for (const std::string &path : m.corpus->paths()) {
            const std::string text = readFile(path);
            lines += static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * m.corpus->bytes()));
}

void BM_BuildIndex(benchmark::State &state)
{
    Mod &m = mod(state.range(0));
    std::size_t symbols = 0;
    for (auto _ : state) {
        const vardo::qc::SymbolIndex index = vardo::qc::SymbolIndex::build(m.project, readFile);
        symbols = index.symbolCount();
        benchmark::DoNotOptimize(symbols);
    }
    state.counters["files"] = static_cast<double>(m.project.files.size());
    state.counters["symbols"] = static_cast<double>(symbols);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * m.corpus->bytes()));
}

// The whole road of a change of directory: finding the list, reading it, then the index.
void BM_ReadProjectAndBuild(benchmark::State &state)
{
    Mod &m = mod(state.range(0));
    for (auto _ : state) {
        const auto projects = vardo::qc::readProjects(m.directory.string(), readFile);
        benchmark::DoNotOptimize(vardo::qc::SymbolIndex::build(projects.at(0), readFile).symbolCount());
    }
}

// One file of `range(0)` kilobytes brought up to date in the 1 MB mod, as after typing.
void BM_UpdateOneFile(benchmark::State &state)
{
    Mod &m = mod(1);
    vardo::qc::SymbolIndex index = vardo::qc::SymbolIndex::build(m.project, readFile);
    const std::string &path = m.corpus->paths().at(1);
    const std::string text = QcCorpus::gameFile(1, static_cast<std::size_t>(state.range(0)) << 10);
    for (auto _ : state) {
        if (!index.update(path, text))
            state.SkipWithError("the file is not part of the project");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Definitions(benchmark::State &state)
{
    Mod &m = mod(state.range(0));
    const vardo::qc::SymbolIndex index = vardo::qc::SymbolIndex::build(m.project, readFile);
    for (auto _ : state)
        benchmark::DoNotOptimize(index.definitions("mon20_think3"));
}

void BM_References(benchmark::State &state)
{
    Mod &m = mod(state.range(0));
    const vardo::qc::SymbolIndex index = vardo::qc::SymbolIndex::build(m.project, readFile);
    std::size_t found = 0;
    for (auto _ : state) {
        found = index.references("T_Damage").size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["uses"] = static_cast<double>(found);
}

void BM_Completions(benchmark::State &state)
{
    Mod &m = mod(state.range(0));
    const vardo::qc::SymbolIndex index = vardo::qc::SymbolIndex::build(m.project, readFile);
    for (auto _ : state)
        benchmark::DoNotOptimize(index.completions("mon2", vardo::qc::CompletionContext::Any));
}

// --- In the window.

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The processor time of the calling thread so far, in milliseconds.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The window, started in `directory` with its project's index landed.
std::unique_ptr<vardo::TForm1> startWindow(const fs::path &directory)
{
    if (::chdir(directory.c_str()) != 0)
        return nullptr;
    auto form = std::make_unique<vardo::TForm1>();
    form->resize(1000, 700);
    form->show();
    vardo::ProjectSymbols &symbols = form->symbols->symbols();
    do
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    while (symbols.building() || symbols.index().fileCount() == 0);
    QCoreApplication::processEvents();
    return form;
}

void write(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Serves the event loop until `done` or `limitMs` and returns the longest time it went without
// a turn: a timer due every millisecond notes how late each of its turns came.
double longestStallMs(const std::function<bool()> &done, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start();
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    longest = std::max(longest, clock.nsecsElapsed() - last);
    return static_cast<double>(longest) / 1e6;
}

// Ctrl+Space on "n" in a project of `range(0)` names that all begin with it: the names gathered,
// sorted and shown in the list. Floor: std::sort of the same names, same run.
void BM_CompleteAmongNames(benchmark::State &state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    const fs::path directory = benchRoot("vardo-symbols-bench") / ("names" + std::to_string(count));
    fs::create_directories(directory);
    std::vector<std::string> names;
    std::string text;
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < count; ++i) {
        hash = (hash ^ static_cast<std::uint32_t>(i)) * 16777619u;
        names.push_back("n" + std::to_string(hash % 1000003) + "_" + std::to_string(i));
        text += "float " + names.back() + ";\n";
    }
    write(directory / "names.qc", text);
    write(directory / "edit.qc", "void() f =\n{\n\tn\n};\n");
    auto form = startWindow(directory);
    if (!form || !form->editing->openForEdit((directory / "edit.qc").string())) {
        state.SkipWithError("the window did not start");
        return;
    }
    QCoreApplication::processEvents();
    QTextCursor caret(form->vardo->document()->findBlockByNumber(2));
    caret.movePosition(QTextCursor::EndOfBlock);
    form->vardo->setTextCursor(caret);
    double ours = 0, floor = 0;
    int shown = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        form->symbols->complete();
        QListView *choices = form->symbols->choices();
        shown = choices ? choices->model()->rowCount() : 0;
        if (choices)
            choices->hide();
        ours += secondsSince(start);

        const auto floorStart = Clock::now();
        std::vector<std::string> sorted = names;
        std::sort(sorted.begin(), sorted.end());
        benchmark::DoNotOptimize(sorted.data());
        floor += secondsSince(floorStart);
    }
    if (shown != static_cast<int>(count))
        state.SkipWithError("the list did not offer every name");
    reportAgainstFloor(state, ours, floor);
    state.counters["ours_ms"] = 1000 * ours / static_cast<double>(state.iterations());
    form.reset();
}

// A file of `range(0)` megabytes of the project written outside (a line appended), read again
// and scanned: the longest time the window went unserved until the index had it, and the window
// thread's processor time meanwhile (the measuring timer's own turns included). Floor: the same
// reading and scanning on a bare thread of its own while the same loop is measured, same run:
// what the machine's scheduling alone leaves of the stalls.
void BM_WrittenFileReadAgain(benchmark::State &state)
{
    const fs::path directory = benchRoot("vardo-symbols-bench") / ("written" + std::to_string(state.range(0)));
    fs::create_directories(directory);
    const fs::path large = directory / "large.qc";
    write(large, QcCorpus::gameFile(1, static_cast<std::size_t>(state.range(0)) << 20));
    write(directory / "edit.qc", "void() f = {};\r\n");
    auto form = startWindow(directory);
    vardo::ProjectSymbols &symbols = form->symbols->symbols();
    double stall = 0, done = 0, floor = 0, windowCpu = 0, floorStall = 0;
    int n = 0;
    for (auto _ : state) {
        const std::string name = "appended" + std::to_string(n++);
        int landed = 0;
        const auto counting = QObject::connect(&symbols, &vardo::ProjectSymbols::backgroundWorkLanded, [&] { ++landed; });
        const auto start = Clock::now();
        const double cpuStart = threadCpuMs();
        std::ofstream(large, std::ios::binary | std::ios::app) << "float " << name << ";\r\n";
        stall = std::max(stall, longestStallMs([&] { return landed > 0 && symbols.index().definitions(name).size() == 1; }, 60000));
        windowCpu += threadCpuMs() - cpuStart;
        done += secondsSince(start);
        QObject::disconnect(counting);
        if (symbols.index().definitions(name).size() != 1)
            state.SkipWithError("the write did not reach the index");
        const auto floorStart = Clock::now();
        std::atomic<bool> scanned = false;
        std::thread bare([&] {
            benchmark::DoNotOptimize(vardo::qc::scanSymbols(readFile(large.string())).symbols.size());
            scanned = true;
        });
        floorStall = std::max(floorStall, longestStallMs([&] { return scanned.load(); }, 60000));
        bare.join();
        floor += secondsSince(floorStart);
    }
    state.counters["longest_stall_ms"] = stall;
    state.counters["floor_stall_ms"] = floorStall;
    state.counters["window_cpu_ms"] = windowCpu / static_cast<double>(state.iterations());
    state.counters["done_ms"] = 1000 * done / static_cast<double>(state.iterations());
    state.counters["floor_ms"] = 1000 * floor / static_cast<double>(state.iterations());
    form.reset();
}

// One character typed near the top of an edited file of `range(0)` kilobytes, then F12 on a name
// at once: the time F12 took, and the longest time the window went unserved in the second after
// (the typing pause, the scan landing), with the window thread's processor time in that second.
void BM_DefinitionAfterTypingInALargeFile(benchmark::State &state)
{
    const fs::path directory = benchRoot("vardo-symbols-bench") / ("edited" + std::to_string(state.range(0)));
    fs::create_directories(directory);
    const fs::path edited = directory / "edited.qc";
    write(edited, "float target;\r\ntarget;\r\n" + QcCorpus::gameFile(1, static_cast<std::size_t>(state.range(0)) << 10));
    auto form = startWindow(directory);
    if (!form || !form->editing->openForEdit(edited.string())) {
        state.SkipWithError("the window did not start");
        return;
    }
    longestStallMs([] { return false; }, 1500);
    double f12 = 0, f12Cpu = 0, stall = 0, windowCpu = 0;
    for (auto _ : state) {
        QTextCursor(form->vardo->document()->findBlockByNumber(2)).insertText(QStringLiteral(" "));
        QTextCursor caret(form->vardo->document()->findBlockByNumber(1));
        caret.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 3); // in "target"
        form->vardo->setTextCursor(caret);
        const auto start = Clock::now();
        const double f12Start = threadCpuMs();
        form->symbols->goToDefinition(form->vardo);
        f12Cpu += threadCpuMs() - f12Start;
        f12 += secondsSince(start);
        if (form->vardo->textCursor().blockNumber() != 0)
            state.SkipWithError("F12 did not reach the definition");
        const double cpuStart = threadCpuMs();
        stall = std::max(stall, longestStallMs([] { return false; }, 1000));
        windowCpu += threadCpuMs() - cpuStart;
    }
    state.counters["f12_ms"] = 1000 * f12 / static_cast<double>(state.iterations());
    state.counters["f12_cpu_ms"] = f12Cpu / static_cast<double>(state.iterations());
    state.counters["window_cpu_ms"] = windowCpu / static_cast<double>(state.iterations());
    state.counters["longest_stall_ms"] = stall;
    form.reset();
}

// A change of directory into a folder of `range(0)` small sources without a list, after the
// lists have taken the folder: the longest time the window went unserved until its index landed
// and for half a second after (the watching of the new project's files), and the window thread's
// processor time. Floor: the same loop served with nothing to do for as long, same run.
void BM_ChangeIntoManyFiles(benchmark::State &state)
{
    const auto files = static_cast<std::size_t>(state.range(0));
    const fs::path many = benchRoot("vardo-symbols-bench") / ("many" + std::to_string(files));
    const fs::path start = benchRoot("vardo-symbols-bench") / "start";
    fs::create_directories(many);
    fs::create_directories(start);
    for (std::size_t i = 0; i < files; ++i)
        write(many / ("f" + std::to_string(i) + ".qc"), "float f" + std::to_string(i) + ";\r\n");
    write(start / "start.qc", "float s;\r\n");
    auto form = startWindow(start);
    vardo::ProjectSymbols &symbols = form->symbols->symbols();
    double stall = 0, floorStall = 0, windowCpu = 0, done = 0;
    for (auto _ : state) {
        const double cpuStart = threadCpuMs();
        const auto begun = Clock::now();
        form->dir->changeDirectory(many.string());
        QElapsedTimer settling;
        stall = std::max(stall, longestStallMs(
                                    [&] {
                                        if (symbols.building() || symbols.index().fileCount() != files)
                                            return false;
                                        if (!settling.isValid())
                                            settling.start();
                                        return settling.elapsed() > 500;
                                    },
                                    120000));
        windowCpu += threadCpuMs() - cpuStart;
        done += secondsSince(begun);
        if (symbols.index().fileCount() != files)
            state.SkipWithError("the index did not land");
        QElapsedTimer idle;
        idle.start();
        floorStall = std::max(floorStall, longestStallMs([&] { return idle.elapsed() > 500; }, 120000));
        form->dir->changeDirectory(start.string());
        longestStallMs([&] { return !symbols.building() && symbols.index().fileCount() == 1; }, 120000);
    }
    state.counters["longest_stall_ms"] = stall;
    state.counters["floor_stall_ms"] = floorStall;
    state.counters["window_cpu_ms"] = windowCpu / static_cast<double>(state.iterations());
    state.counters["done_ms"] = 1000 * done / static_cast<double>(state.iterations());
    form.reset();
}

} // namespace

BENCHMARK(BM_ReadFilesFloor)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildIndex)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadProjectAndBuild)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateOneFile)->Arg(24)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Definitions)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_References)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Completions)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompleteAmongNames)->Arg(20000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChangeIntoManyFiles)->Arg(20000)->Arg(100000)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WrittenFileReadAgain)->Arg(32)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DefinitionAfterTypingInALargeFile)->Arg(60)->Arg(120)->Arg(1024)->Arg(2000)->Arg(16384)->Iterations(5)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
