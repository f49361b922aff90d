// Clicks on files that used to freeze the window: a preview of a 5 MiB line, a binary in the
// all-files list, and the double click that opens 10 MB and 100 MB files. Each action runs in
// the real window through the event loop, and reports the time to its first paint, the time
// until it was done, the longest stretch in which the event loop was not served, and the peak
// memory it added, also per byte of the file; the floor is a bare QPlainTextEdit given the same
// file the plain way.
#include "app/form1.h"
#include "benchtext.h"
#include "checking/checkcontroller.h"
#include "core/base/paths.h"
#include "core/text/textmodel.h"
#include "doc/qtext.h"
#include "edit/editcontroller.h"
#include "edit/indexcontroller.h"
#include "general/generalpane.h"
#include "lists/filelistbox.h"
#include "panes/textpane.h"
#include "symbols/projectsymbols.h"
#include "ui/notebook.h"
#include "stallwatch.h"
#include "widgetbench.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using vardo::TForm1;

namespace {

// The files, made once per run in a temporary directory and removed at exit.
class Files {
public:
    static const Files &get()
    {
        static const Files files;
        return files;
    }
    const std::string &directory() const { return root_; }
    ~Files() { fs::remove_all(root_); }

private:
    Files()
    {
        std::string pattern = (fs::temp_directory_path() / "vardo-hostilebench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary directory");
        root_ = pattern;
        std::string line;
        while (line.size() < (5u << 20))
            line += "self.nextthink=time+0.1;";
        // Each in a directory of its own, as the window indexes the QuakeC files around it.
        write("long/long.qc", line.substr(0, 5u << 20));
        write("binary/progs.dat", binary(400000));
        write("ten/ten.qc", quakecSource(300000));
        write("hundred/hundred.qc", quakecSource(3000000));
    }
    // Compiled data: runs of zeros between stretches of any bytes, so lines are long.
    static std::string binary(std::size_t size)
    {
        std::string bytes;
        std::uint64_t state = 42;
        while (bytes.size() < size) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            const std::size_t run = 256 + (state >> 40) % 8192;
            if ((state >> 20) % 3 == 0) {
                bytes.append(run, '\0');
                continue;
            }
            for (std::size_t i = 0; i < run; ++i) {
                state = state * 6364136223846793005ULL + 1442695040888963407ULL;
                bytes += static_cast<char>(state >> 56);
            }
        }
        bytes.resize(size);
        return bytes;
    }
    void write(const std::string &name, const std::string &bytes) const
    {
        fs::create_directories(fs::path(root_ + "/" + name).parent_path());
        std::ofstream(root_ + "/" + name, std::ios::binary) << bytes;
    }

    std::string root_;
};

long statusKiB(const char *field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    return 0;
}

// Sets the peak resident size back to the present one.
void resetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct Measure {
    double firstPaintMs = -1;
    double doneMs = 0;
    double longestBlockMs = 0;
    double peakMiB = 0;
    // Resident memory added, once the work the action set off is done.
    double settledMiB = 0;
    // The longest block after the action, while the work it set off runs and a second after.
    double longestBlockAfterMs = 0;
};

// Runs `action` from the event loop and watches the loop while it runs: the event dispatcher
// wakes on every turn of the loop (nested turns during a long load included), so the longest
// time between two wakes is the longest time the window did not answer.
class Watch : public QObject {
public:
    // The watch goes on until `settled` holds (polled) and a second longer.
    Measure run(const std::function<void()> &action, const std::function<bool()> &settled = [] { return true; })
    {
        QCoreApplication::processEvents();
        resetPeakMemory();
        const long before = statusKiB("VmRSS:");
        Measure measure;
        QEventLoop loop;
        qint64 last = 0;
        bool after = false;
        double longestBefore = 0;
        const auto turn = [&] {
            if (!clock_.isValid())
                return;
            const qint64 now = clock_.nsecsElapsed();
            if (!after)
                longestBefore = std::max(longestBefore, (now - last) / 1e6);
            last = now;
        };
        const auto watching = QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, turn);
        qApp->installEventFilter(this);
        clock_.invalidate();
        paintAt_ = -1;
        // After the action the loop may sleep: a ticking timer tells the work apart.
        std::optional<StallWatch> afterwards;
        QTimer::singleShot(0, [&] {
            clock_.start();
            action();
            measure.doneMs = clock_.nsecsElapsed() / 1e6;
            turn();
            after = true;
            afterwards.emplace(measure.longestBlockAfterMs);
        });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (after && settled()) {
                poll.stop();
                QTimer::singleShot(1000, &loop, &QEventLoop::quit);
            }
        });
        poll.start(50);
        loop.exec();
        afterwards.reset();
        measure.longestBlockMs = longestBefore;
        // Painting what the action left, which a real window does next.
        QCoreApplication::processEvents();
        qApp->removeEventFilter(this);
        QObject::disconnect(watching);
        measure.firstPaintMs = paintAt_ < 0 ? clock_.nsecsElapsed() / 1e6 : paintAt_ / 1e6;
        measure.peakMiB = (statusKiB("VmHWM:") - before) / 1024.0;
        measure.settledMiB = (statusKiB("VmRSS:") - before) / 1024.0;
        return measure;
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && paintAt_ < 0 && clock_.isValid())
            paintAt_ = clock_.nsecsElapsed();
        return false;
    }

private:
    QElapsedTimer clock_;
    qint64 paintAt_ = -1;
};

// With the size of the file, the peaks also per byte of it.
void report(benchmark::State &state, const Measure &ours, const Measure &floor, double size = 0)
{
    if (size > 0) {
        state.counters["peak_B_per_B"] = ours.peakMiB * (1 << 20) / size;
        state.counters["floor_peak_B_per_B"] = floor.peakMiB * (1 << 20) / size;
        state.counters["settled_B_per_B"] = ours.settledMiB * (1 << 20) / size;
        state.counters["floor_settled_B_per_B"] = floor.settledMiB * (1 << 20) / size;
        state.counters["block_after_ratio"] = ours.longestBlockAfterMs / floor.longestBlockMs;
    }
    state.counters["first_paint_ms"] = ours.firstPaintMs;
    state.counters["done_ms"] = ours.doneMs;
    state.counters["longest_block_ms"] = ours.longestBlockMs;
    state.counters["peak_MiB"] = ours.peakMiB;
    state.counters["block_after_ms"] = ours.longestBlockAfterMs;
    state.counters["floor_done_ms"] = floor.doneMs;
    state.counters["floor_block_ms"] = floor.longestBlockMs;
    state.counters["floor_peak_MiB"] = floor.peakMiB;
    state.counters["block_ratio"] = ours.longestBlockMs / floor.longestBlockMs;
}

std::string fileBytes(const std::string &name)
{
    std::ifstream in(Files::get().directory() + "/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The floor: a bare pane of the same wrapping given the file's text (or, with `cut`, the
// text as the pane shows it) with setPlainText.
Measure bareLoad(const std::string &name, bool wrap, bool cut = false)
{
    QPlainTextEdit bare;
    bare.setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    bare.resize(800, 600);
    bare.show();
    return Watch().run([&] {
        const std::string bytes = fileBytes(name);
        if (cut) {
            std::u16string lines = vardo::text::decodeLines(bytes);
            vardo::text::cutLongLines(lines);
            bare.setPlainText(vardo::fromU16(lines));
        } else {
            bare.setPlainText(QString::fromLatin1(bytes));
        }
        bare.repaint();
    });
}

// The window, started in a directory of the files with both lists read and the QuakeC
// files around indexed.
std::unique_ptr<TForm1> startWindow(const std::string &directory)
{
    if (::chdir((Files::get().directory() + "/" + directory).c_str()) != 0)
        return nullptr;
    auto form = std::make_unique<TForm1>();
    form->resize(1000, 700);
    form->show();
    form->TabbedNotebook1->setCurrentIndex(1);
    form->TabbedNotebook1->setCurrentIndex(0);
    const auto *symbols = form->findChild<vardo::ProjectSymbols *>();
    do
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    while (symbols && symbols->building());
    QCoreApplication::processEvents();
    return form;
}

// A left click on a list entry as the list reports it: the change of selection, then the click.
void click(vardo::FileListBox *list, const char *name, const std::function<void()> &onClick)
{
    list->selectFile(vardo::paths::join(list->directory(), name));
    if (list->selectedIndex() < 0)
        throw std::runtime_error(std::string("no entry ") + name);
    onClick();
}

void BM_PreviewOfA5MiBLine(benchmark::State &state)
{
    auto form = startWindow("long");
    Measure ours;
    for (auto _ : state)
        ours = Watch().run([&] { click(form->qclista, "long.qc", [&] { form->editing->preview(); }); });
    // The bare pane is given the line cut as the preview shows it: whole, it would not finish.
    report(state, ours, bareLoad("long/long.qc", true, true));
}

void BM_ClickOnA400KBBinary(benchmark::State &state)
{
    auto form = startWindow("binary");
    Measure ours;
    for (auto _ : state)
        ours = Watch().run([&] { click(form->listado, "progs.dat", [&] { form->general->loadSelected(); }); });
    report(state, ours, bareLoad("binary/progs.dat", true));
}

// The double click: the preview of its first press, then the open-for-edit, watched until the
// function index and the first check it set off have landed.
void doubleClick(benchmark::State &state, const std::string &directory, const char *name)
{
    auto form = startWindow(directory);
    Measure ours;
    for (auto _ : state) {
        bool indexed = false, checked = false;
        const auto indexing = QObject::connect(form->functionIndex, &vardo::IndexController::rebuilt, [&] { indexed = true; });
        const auto checking = QObject::connect(form->checking, &vardo::CheckController::checked, [&] { checked = true; });
        ours = Watch().run(
            [&] {
                click(form->qclista, name, [&] { form->editing->preview(); });
                form->editing->openForEdit(form->qclista->selectedFilePath());
            },
            [&] { return indexed && checked; });
        QObject::disconnect(indexing);
        QObject::disconnect(checking);
        if (form->vardo->doc()->path().empty())
            state.SkipWithError("the file was not opened");
    }
    // Behind the editor the preview keeps only the text it read; turning to it fills it again.
    // Watched as the action itself: the load's steps hold timers back, as for any load.
    const Measure viewAgain = Watch().run([&] {
        form->Manager->setCurrentIndex(TForm1::ViewPage);
        while (form->veer->textSetAside())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    });
    state.counters["view_again_ms"] = viewAgain.doneMs;
    state.counters["view_again_longest_block_ms"] = viewAgain.longestBlockMs;
    state.counters["view_again_peak_MiB"] = viewAgain.peakMiB;
    const std::string path = directory + "/" + name;
    report(state, ours, bareLoad(path, false), static_cast<double>(fs::file_size(Files::get().directory() + "/" + path)));
}

void BM_DoubleClickOn10MB(benchmark::State &state) { doubleClick(state, "ten", "ten.qc"); }
void BM_DoubleClickOn100MB(benchmark::State &state) { doubleClick(state, "hundred", "hundred.qc"); }

} // namespace

BENCHMARK(BM_PreviewOfA5MiBLine)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClickOnA400KBBinary)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DoubleClickOn10MB)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DoubleClickOn100MB)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
