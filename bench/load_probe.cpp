// Started by the load benchmark as a process of its own, one load per process:
//   open FILE   the editor started on FILE as main() starts it, until the process is idle
//   bare FILE   the floor: a bare QPlainTextEdit in the editor's face, no colour, given FILE's
//               text with setPlainText, until the process is idle
//   index DIR NAME  the editor started in DIR, until its project's index answers F12 on NAME
//   read DIR    the floor: an empty window shown, then the files of DIR's project read
// It prints the monotonic clock in nanoseconds when it was done, its processor time until then
// in milliseconds, and for a load the processor time of the checker's thread, which the load's
// own leaves out (as it leaves out the watch's).
#include "app/form1.h"
#include "app/startup.h"
#include "core/files/fileio.h"
#include "core/qc/sourcelist.h"
#include "panes/panestyle.h"
#include "symbols/projectsymbols.h"
#include "symbols/symbolnavigator.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::int64_t nanoseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::string firstLine(const std::string &path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Where the processor time of this process's thread named `name` is kept; empty when none runs.
std::string threadClock(const char *name)
{
    DIR *tasks = ::opendir("/proc/self/task");
    std::string found;
    while (const dirent *task = tasks && found.empty() ? ::readdir(tasks) : nullptr) {
        const std::string dir = std::string("/proc/self/task/") + task->d_name;
        if (task->d_name[0] != '.' && firstLine(dir + "/comm") == name)
            found = dir + "/schedstat";
    }
    if (tasks)
        ::closedir(tasks);
    return found;
}

// Watches the processor time of the process but its own and the checker's, every 5 ms, from
// the moment it is armed: the process is idle once a second passes in which no interval took
// more than a quarter of a core. The moment of the last busy interval is when it became idle.
class IdleWatch {
public:
    IdleWatch()
        : thread_([this] { watch(); })
    {
    }
    ~IdleWatch()
    {
        stop_ = true;
        thread_.join();
    }
    void arm() { armed_ = true; }
    // Calls `idle` on the main thread once idle.
    void whenIdle(std::function<void()> idle) { idle_ = std::move(idle); }
    std::int64_t idleAt() const { return idleAt_; }
    double cpuMs() const { return static_cast<double>(cpuAtIdle_) / 1e6; }
    double checkerMs() const { return static_cast<double>(checker_) / 1e6; }

private:
    void watch()
    {
        constexpr std::int64_t kInterval = 5'000'000, kQuiet = 1'000'000'000;
        std::int64_t lastCpu = 0, lastBusy = nanoseconds(CLOCK_MONOTONIC);
        std::string checkerClock;
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::nanoseconds(kInterval));
            const std::int64_t now = nanoseconds(CLOCK_MONOTONIC);
            if (checkerClock.empty())
                checkerClock = threadClock("checker");
            if (!checkerClock.empty())
                checker_ = std::atoll(firstLine(checkerClock).c_str());
            const std::int64_t cpu =
                nanoseconds(CLOCK_PROCESS_CPUTIME_ID) - nanoseconds(CLOCK_THREAD_CPUTIME_ID) - checker_;
            if (cpu - lastCpu > kInterval / 4 || !armed_) {
                lastBusy = now;
                cpuAtIdle_ = cpu;
            }
            lastCpu = cpu;
            if (now - lastBusy > kQuiet && idleAt_ == 0) {
                idleAt_ = lastBusy;
                QMetaObject::invokeMethod(qApp, [this] { idle_(); }, Qt::QueuedConnection);
            }
        }
    }

    std::atomic<bool> stop_ = false, armed_ = false;
    std::atomic<std::int64_t> idleAt_ = 0, cpuAtIdle_ = 0, checker_ = 0;
    std::function<void()> idle_;
    std::thread thread_;
};

void report(std::int64_t doneAt, double cpuMs, double checkerMs)
{
    std::printf("%lld %.3f %.3f\n", static_cast<long long>(doneAt), cpuMs, checkerMs);
    std::fflush(stdout);
    // Ending here spares waiting for the checker, which may still be at work.
    std::_Exit(0);
}

double processCpuMs()
{
    return static_cast<double>(nanoseconds(CLOCK_PROCESS_CPUTIME_ID)) / 1e6;
}

// `argv` holds the file where main() finds it.
int openFile(IdleWatch &watch, char **argv)
{
    vardo::prepareApplication();
    const std::string start = vardo::enterStartPlace(2, argv, {}, {});
    vardo::TForm1 form;
    form.show();
    form.openForEdit(start);
    watch.arm();
    return QApplication::exec();
}

int bareFile(IdleWatch &watch, const std::string &file)
{
    vardo::prepareApplication();
    QPlainTextEdit bare;
    bare.setFont(vardo::editorFont());
    bare.resize(1000, 700);
    bare.show();
    const std::string bytes = vardo::fileio::readWholeFile(file, 1u << 28);
    bare.setPlainText(QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())));
    watch.arm();
    return QApplication::exec();
}

int indexReady(const std::string &directory, const std::string &name)
{
    vardo::prepareApplication();
    if (::chdir(directory.c_str()) != 0)
        return 1;
    vardo::TForm1 form;
    form.show();
    const vardo::ProjectSymbols &symbols = form.symbols->symbols();
    QObject::connect(&symbols, &vardo::ProjectSymbols::rebuilt, [&] {
        // What F12 on the name asks.
        if (symbols.index().definitions(name).empty())
            std::_Exit(2);
        report(nanoseconds(CLOCK_MONOTONIC), processCpuMs(), 0);
    });
    return QApplication::exec();
}

int readFiles(const std::string &directory)
{
    QWidget window;
    window.resize(847, 537);
    window.show();
    QApplication::processEvents();
    const vardo::qc::ReadFile read = [](const std::string &path) { return vardo::fileio::readWholeFile(path, 1u << 28); };
    const std::vector<vardo::qc::SourceList> projects = vardo::qc::readProjects(directory, read);
    for (const std::string &path : projects.at(0).files)
        read(path);
    report(nanoseconds(CLOCK_MONOTONIC), processCpuMs(), 0);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3 || (argc < 4 && std::strcmp(argv[1], "index") == 0))
        return 1;
    IdleWatch watch;
    QApplication application(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    watch.whenIdle([&] { report(watch.idleAt(), watch.cpuMs(), watch.checkerMs()); });
    const std::string mode = argv[1], target = argv[2];
    if (mode == "open")
        return openFile(watch, argv + 1);
    if (mode == "bare")
        return bareFile(watch, target);
    if (mode == "index")
        return indexReady(target, argv[3]);
    if (mode == "read")
        return readFiles(target);
    return 1;
}
