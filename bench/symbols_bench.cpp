// The symbol index of a whole mod: built from a generated corpus of the game sources' shape,
// one file re-indexed, and the look-ups the window makes. The floor is reading the same files and
// counting their lines with the standard library.
#include "qccorpus.h"

#include "core/files/fileio.h"
#include "core/qc/sourcelist.h"
#include "core/qc/symbols.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <map>
#include <memory>
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
    static struct Cleanup {
        fs::path root;
        ~Cleanup()
        {
            if (!root.empty())
                fs::remove_all(root);
        }
    } cleanup;
    if (cleanup.root.empty()) {
        std::string pattern = (fs::temp_directory_path() / "vardo-symbols-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        cleanup.root = pattern;
    }
    Mod &m = mods[megabytes];
    if (!m.corpus) {
        m.directory = cleanup.root / std::to_string(megabytes);
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

} // namespace

BENCHMARK(BM_ReadFilesFloor)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildIndex)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadProjectAndBuild)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateOneFile)->Arg(24)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Definitions)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_References)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Completions)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
