// Compiling in the window: what the editor adds to a real compile of a 1 MB mod, and how it
// keeps up with 100,000 lines of output. Each is set against a floor measured in the same run:
// a bare QProcess that runs the same program and reads its output.
#include "stallwatch.h"
#include "widgetbench.h"

#include "app/form1.h"
#include "compile/compilecontroller.h"
#include "lists/outputlist.h"
#include "panes/textpane.h"
#include "tools/programs.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using vardo::TForm1;

namespace {

// The editor's own processor time so far, children left out.
double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// About 1 MB of QuakeC in ten files that fteqcc compiles without a word.
void writeMod(const std::string &directory)
{
    std::string progs = "progs.dat\r\n";
    int function = 0;
    for (int file = 0; file < 10; ++file) {
        std::string text;
        while (text.size() < 100000) {
            text += "float(float a, float b) func" + std::to_string(function++) + " =\r\n{\r\n\tlocal float c;\r\n\tc = a;\r\n";
            for (int i = 0; i < 40; ++i)
                text += "\tc = c * a + " + std::to_string(i) + ";\r\n\tif (c > " + std::to_string(i * 3) + ") c = c - b;\r\n";
            text += "\treturn c;\r\n};\r\n\r\n";
        }
        const std::string name = "part" + std::to_string(file) + ".qc";
        writeFile(directory + "/" + name, text);
        progs += name + "\r\n";
    }
    writeFile(directory + "/progs.src", progs);
}

struct Run {
    double wall = 0; // seconds
    double cpu = 0;  // the editor's own seconds
};

// The floor: the program run and its merged output read to the end, nothing else.
Run bareRun(const std::string &program, const std::string &directory)
{
    const double cpu = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(directory));
    process.setProcessChannelMode(QProcess::MergedChannels);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [&] { process.readAllStandardOutput(); });
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    process.start(QString::fromStdString(program), {});
    loop.exec();
    return {static_cast<double>(clock.nsecsElapsed()) / 1e9, cpuSeconds() - cpu};
}

bool summaryShown(const TForm1 &form)
{
    const vardo::OutputList *list = form.output;
    return list->resultRows() > 0 && list->resultRow(list->resultRows() - 1).text.endsWith(QLatin1String(" s"));
}

// "QCC!" pressed and the window run until the summary row shows.
Run windowRun(TForm1 &form)
{
    const double cpu = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    form.compiling->compile();
    while (!summaryShown(form))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return {static_cast<double>(clock.nsecsElapsed()) / 1e9, cpuSeconds() - cpu};
}

struct Totals {
    Run floor, window;
    void add(const Run &f, const Run &w)
    {
        floor.wall += f.wall, floor.cpu += f.cpu, window.wall += w.wall, window.cpu += w.cpu;
    }
    void report(benchmark::State &state) const
    {
        const double n = static_cast<double>(state.iterations());
        state.counters["floor_wall_ms"] = floor.wall / n * 1e3;
        state.counters["window_wall_ms"] = window.wall / n * 1e3;
        state.counters["added_wall_ms"] = (window.wall - floor.wall) / n * 1e3;
        state.counters["floor_cpu_ms"] = floor.cpu / n * 1e3;
        state.counters["window_cpu_ms"] = window.cpu / n * 1e3;
        state.counters["added_cpu_ms"] = (window.cpu - floor.cpu) / n * 1e3;
        state.counters["wall_ratio"] = window.wall / floor.wall;
    }
};

std::unique_ptr<TForm1> shownForm(const std::string &directory)
{
    if (::chdir(directory.c_str()) != 0)
        return nullptr;
    auto form = std::make_unique<TForm1>();
    form->show();
    QApplication::processEvents();
    return form;
}

// A real compile with fteqcc, the editor holding a changed file of the mod that "QCC!" writes
// back first, the lists read again after.
void BM_CompileOneMegabyteMod(benchmark::State &state)
{
    const auto fteqcc = vardo::tools::findOnPath("fteqcc");
    if (!fteqcc) {
        state.SkipWithError("fteqcc is not installed");
        return;
    }
    QTemporaryDir directory;
    const std::string mod = directory.path().toStdString();
    writeMod(mod);
    auto form = shownForm(mod);
    if (!form || !form->openForEdit(mod + "/part0.qc")) {
        state.SkipWithError("the mod does not open");
        return;
    }
    Totals totals;
    for (auto _ : state) {
        const Run floor = bareRun(*fteqcc, mod);
        form->vardo->moveCursor(QTextCursor::End);
        form->vardo->insertPlainText(QStringLiteral(" "));
        const Run window = windowRun(*form);
        state.SetIterationTime(window.wall);
        totals.add(floor, window);
    }
    totals.report(state);
}

// 100,000 lines of diagnostics as fast as a program can print them. Besides the times: the
// longest the window's event loop went without a turn, and how often the list was painted.
void BM_HundredThousandOutputLines(benchmark::State &state)
{
    QTemporaryDir directory;
    const std::string root = directory.path().toStdString();
    ::mkdir((root + "/bin").c_str(), 0755);
    ::mkdir((root + "/mod").c_str(), 0755);
    std::string flood;
    for (int i = 1; i <= 100000; ++i)
        flood += "world.qc:" + std::to_string(i) + (i % 3 ? ": warning: unused variable x" : ": error: type mismatch") + "\n";
    writeFile(root + "/flood.txt", flood);
    const std::string compiler = root + "/bin/fteqcc";
    writeFile(compiler, "#!/bin/sh\nexec /bin/cat " + root + "/flood.txt\n");
    ::chmod(compiler.c_str(), 0755);
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(root + "/bin"));
    auto form = shownForm(root + "/mod");

    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    form->output->viewport()->installEventFilter(&counter);

    // Once before the timing: the list's first showing is no part of reading output.
    windowRun(*form);
    Totals totals;
    double longestStall = 0;
    for (auto _ : state) {
        const Run floor = bareRun(compiler, root + "/mod");
        StallWatch stalls(longestStall);
        const Run window = windowRun(*form);
        state.SetIterationTime(window.wall);
        totals.add(floor, window);
    }
    totals.report(state);
    state.counters["longest_stall_ms"] = longestStall;
    state.counters["paints_per_run"] = static_cast<double>(counter.paints) / static_cast<double>(state.iterations());
    form.reset();
    qputenv("PATH", savedPath);
}

// A compiler that prints `bytes` from a file as fast as it can, the window
// compiling with it. Besides the times: the longest the event loop went without a turn, and the
// rows shown. The floor reads the same bytes from the same pipe with a bare QProcess.
void floodFromFile(benchmark::State &state, const std::string &bytes)
{
    QTemporaryDir directory;
    const std::string root = directory.path().toStdString();
    ::mkdir((root + "/bin").c_str(), 0755);
    ::mkdir((root + "/mod").c_str(), 0755);
    writeFile(root + "/flood.txt", bytes);
    const std::string compiler = root + "/bin/fteqcc";
    writeFile(compiler, "#!/bin/sh\nexec /bin/cat " + root + "/flood.txt\n");
    ::chmod(compiler.c_str(), 0755);
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(root + "/bin"));
    auto form = shownForm(root + "/mod");

    // Once before the timing: the list's first showing is no part of reading output.
    windowRun(*form);
    Totals totals;
    double longestStall = 0;
    for (auto _ : state) {
        const Run floor = bareRun(compiler, root + "/mod");
        StallWatch stalls(longestStall);
        const Run window = windowRun(*form);
        // The last rows painted.
        form->output->viewport()->repaint();
        stalls.note();
        state.SetIterationTime(window.wall);
        totals.add(floor, window);
    }
    totals.report(state);
    state.counters["longest_stall_ms"] = longestStall;
    state.counters["rows"] = form->output->resultRows();
    state.counters["window_MiB_per_s"] = static_cast<double>(bytes.size()) / (1 << 20) /
                                         (totals.window.wall / static_cast<double>(state.iterations()));
    state.counters["floor_MiB_per_s"] = static_cast<double>(bytes.size()) / (1 << 20) /
                                        (totals.floor.wall / static_cast<double>(state.iterations()));
    form.reset();
    qputenv("PATH", savedPath);
}

// 300 lines of 60,000 characters (18 MB): each row shows the start of its line.
void BM_LongOutputLines(benchmark::State &state)
{
    std::string lines;
    for (int i = 1; i <= 300; ++i)
        lines += "world.qc:" + std::to_string(i) + ": warning: " + std::string(60000, 'x') + "\n";
    floodFromFile(state, lines);
}

// 100 MB without a line end: read at the pipe's pace, one row.
void BM_EndlessLine(benchmark::State &state)
{
    floodFromFile(state, std::string(100'000'000, 'x'));
}

} // namespace

BENCHMARK(BM_LongOutputLines)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EndlessLine)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CompileOneMegabyteMod)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_HundredThousandOutputLines)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
