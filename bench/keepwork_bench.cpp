// What keeping the user's work costs: the check for outside saves each time the window becomes
// active again, and the reload that follows one, against their floors measured in the same run.
#include "benchtext.h"
#include "widgetbench.h"

#include "app/form1.h"
#include "edit/indexcontroller.h"
#include "panes/textpane.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using vardo::TForm1;

namespace {

constexpr int kLines = 300000;

struct Work {
    QTemporaryDir directory;
    std::string source, notes;
    std::unique_ptr<TForm1> form;
};

// The shown window editing a 10 MB source, a small file in the general pane.
Work &work()
{
    static Work w;
    if (!w.form) {
        const std::string dir = w.directory.path().toStdString();
        w.source = dir + "/big.qc";
        w.notes = dir + "/notes.txt";
        std::ofstream(w.source, std::ios::binary) << quakecSource(kLines);
        std::ofstream(w.notes, std::ios::binary) << "notes\r\n";
        if (::chdir(dir.c_str()) != 0)
            std::abort();
        w.form = std::make_unique<TForm1>();
        w.form->show();
        QApplication::processEvents();
        if (!w.form->openForEdit(w.source))
            std::abort();
        w.form->test->loadFromFile(w.notes);
    }
    return w;
}

// Another program's save: only the file's time moves, to a new nanosecond each time.
void touch(const std::string &path)
{
    static long nanoseconds = 0;
    const struct timespec times[2] = {{0, UTIME_OMIT}, {1000, ++nanoseconds % 1000000000}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

void BM_ComingBackNothingSaved(benchmark::State &state)
{
    Work &w = work();
    for (auto _ : state)
        w.form->reloadOutsideChanges();
}

// Floor: the two stat calls that find out whether the files changed.
void BM_FloorStatBothFiles(benchmark::State &state)
{
    Work &w = work();
    struct stat st {};
    for (auto _ : state) {
        benchmark::DoNotOptimize(::stat(w.source.c_str(), &st));
        benchmark::DoNotOptimize(::stat(w.notes.c_str(), &st));
    }
}

void BM_ComingBackAfterOutsideSave(benchmark::State &state)
{
    Work &w = work();
    for (auto _ : state) {
        state.PauseTiming();
        touch(w.source);
        state.ResumeTiming();
        w.form->reloadOutsideChanges();
    }
}

// Floor: the plain load of the same file into the editor with the index rebuilt, as a double
// click does.
void BM_FloorLoadAndIndex(benchmark::State &state)
{
    Work &w = work();
    for (auto _ : state) {
        w.form->vardo->loadFromFile(w.source);
        w.form->functionIndex->rebuild();
    }
}

} // namespace

BENCHMARK(BM_ComingBackNothingSaved)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloorStatBothFiles)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComingBackAfterOutsideSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorLoadAndIndex)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
