// The checker on whole mods: the re-release base mod checked against Debian's fteqcc compiling
// a generated vanilla mod of the same size in the same run; one edited file of a 1 MB mod
// checked again; and the memory the checker keeps per byte of source.
#include "benchroot.h"
#include "floor.h"
#include "qccorpus.h"

#include "core/check/projectchecker.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <memory>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kRerelease = std::string(VARDO_SHARED_CORPUS) + "/rerelease/quakec";

// What the generated game files use besides their own definitions, as a vanilla defs.qc has it.
const char *const kPrelude =
    "float FALSE = 0;\r\nfloat CHAN_VOICE = 2;\r\nfloat ATTN_IDLE = 2;\r\n"
    ".float health, takedamage, frame, nextthink;\r\n.vector view_ofs;\r\n.entity chain;\r\n.void() think;\r\n"
    "float() random = #7;\r\nvoid(vector v1, vector v2, float nomonsters, entity forent) traceline = #16;\r\n"
    "entity(vector org, float rad) findradius = #22;\r\n"
    "void(entity e, float chan, string samp, float vol, float atten) sound = #8;\r\n"
    "void() ai_stand = {};\r\nvoid(entity targ, entity inflictor, entity attacker, float damage) T_Damage = {};\r\n";

// A vanilla mod of about `bytes` in `files` files that fteqcc 3343 compiles and the checker
// passes: the generated corpus, its monsters' frame functions declared before use.
fs::path vanillaMod(const std::string &name, std::size_t files, std::size_t bytes)
{
    const fs::path directory = benchRoot("vardo-check-bench") / name;
    if (fs::exists(directory))
        return directory;
    QcCorpus corpus(directory, files, bytes);
    std::string defs = QcCorpus::defs(bytes / files);
    defs.insert(defs.find("float\t\ttime;\r\n") + 14, std::string(kPrelude) + ".vector origin;\r\n");
    std::ofstream(directory / "defs.qc", std::ios::binary) << defs;
    for (std::size_t f = 1; f < files; ++f) {
        std::string prototypes;
        for (int frame = 1; frame <= 8; ++frame)
            prototypes += "void() mon" + std::to_string(f) + "_stand" + std::to_string(frame) + ";\r\n";
        std::ofstream(directory / ("file" + std::to_string(f) + ".qc"), std::ios::binary)
            << prototypes << QcCorpus::gameFile(f, bytes / files);
    }
    return directory;
}

bool fteqcc(const fs::path &directory)
{
    const std::string command = "cd '" + directory.string() + "' && /usr/bin/fteqcc >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::size_t errorsOf(const std::vector<vardo::qc::Diagnostic> &diagnostics)
{
    return static_cast<std::size_t>(std::count_if(diagnostics.begin(), diagnostics.end(), [](const vardo::qc::Diagnostic &d) {
        return d.severity == vardo::qc::Severity::Error;
    }));
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// The whole re-release base mod (17,652 lines in 33 files) checked; floor: Debian's fteqcc
// compiling a generated vanilla mod of the same size, each iteration.
void BM_CheckRereleaseAgainstFteqcc(benchmark::State &state)
{
    if (!fs::is_directory(kRerelease)) {
        state.SkipWithError("no re-release sources beside the repository");
        return;
    }
    const bool haveFteqcc = fs::exists("/usr/bin/fteqcc");
    const fs::path vanilla = vanillaMod("vanilla", 33, 370'000);
    if (haveFteqcc && !fteqcc(vanilla)) {
        state.SkipWithError("fteqcc does not compile the generated mod");
        return;
    }
    double ours = 0, floor = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        vardo::check::ProjectChecker checker(kRerelease);
        const auto diagnostics = checker.checkAll();
        const auto checked = Clock::now();
        ours += seconds(checked - start);
        if (errorsOf(diagnostics) != 0)
            state.SkipWithError("the re-release has errors");
        if (haveFteqcc) {
            fteqcc(vanilla);
            floor += seconds(Clock::now() - checked);
        }
        state.SetIterationTime(seconds(checked - start));
    }
    if (haveFteqcc)
        reportAgainstFloor(state, ours, floor);
}
BENCHMARK(BM_CheckRereleaseAgainstFteqcc)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// One file of a 1 MB mod of 45 files checked again after an edit, against the others as read.
void BM_RecheckOneEditedFile(benchmark::State &state)
{
    const fs::path mod = vanillaMod("onemegabyte", 45, 1 << 20);
    vardo::check::ProjectChecker checker(mod.string());
    if (errorsOf(checker.checkAll()) != 0) {
        state.SkipWithError("the generated mod has errors");
        return;
    }
    const std::string file = (mod / "file7.qc").string();
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int edit = 0;
    for (auto _ : state) {
        text.insert(text.size() / 2, ++edit % 2 ? "\r\n" : " ");
        benchmark::DoNotOptimize(checker.checkFile(file, text));
    }
    state.counters["file_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_RecheckOneEditedFile)->Unit(benchmark::kMillisecond);

// The heap the checker keeps for a checked 1 MB mod, per byte of its source; and the most it
// held at once while checking (bytes_peak_per_byte), sampled as the heap's top.
void BM_MemoryPerSourceByte(benchmark::State &state)
{
    const fs::path mod = vanillaMod("onemegabyte", 45, 1 << 20);
    std::size_t sourceBytes = 0;
    for (const auto &entry : fs::directory_iterator(mod))
        if (entry.path().extension() == ".qc")
            sourceBytes += fs::file_size(entry.path());
    double kept = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const std::size_t before = mallinfo2().uordblks;
        auto checker = std::make_unique<vardo::check::ProjectChecker>(mod.string());
        checker->checkAll();
        kept = static_cast<double>(mallinfo2().uordblks - before);
        benchmark::DoNotOptimize(checker);
    }
    state.counters["bytes_per_byte"] = kept / static_cast<double>(sourceBytes);
    state.counters["source_bytes"] = static_cast<double>(sourceBytes);
}
BENCHMARK(BM_MemoryPerSourceByte)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
