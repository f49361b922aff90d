// Changing into a very large directory, reading it, and moving through the all-files list.
#include "core/files/listing.h"
#include "floor.h"
#include "lists/directorylistbox.h"
#include "lists/filelistbox.h"
#include "widgetbench.h"

#include <QKeyEvent>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Directories of n files (a fifth of them QuakeC sources, in either case) and n / 20
// subdirectories, with names in no particular order and of mixed case so that the sort does
// real work. Made once per run and removed at exit.
class Trees {
public:
    static const Trees &get()
    {
        static const Trees trees;
        return trees;
    }

    std::string directoryOf(int files) const { return root_ + "/files-" + std::to_string(files); }
    std::string empty() const { return root_ + "/empty"; }

    ~Trees() { fs::remove_all(root_); }

private:
    Trees()
    {
        std::string pattern = (fs::temp_directory_path() / "vardo-navbench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary directory");
        root_ = pattern;
        ::mkdir(empty().c_str(), 0755);
        for (int files : {10'000, 50'000, 100'000})
            fill(directoryOf(files), files);
    }

    static std::string scrambled(std::uint64_t &state)
    {
        static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
        std::string text;
        for (int i = 0; i < 8; ++i) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            text += letters[(state >> 33) % 52];
        }
        return text;
    }

    static void fill(const std::string &directory, int files)
    {
        ::mkdir(directory.c_str(), 0755);
        std::uint64_t state = static_cast<std::uint64_t>(files);
        static const char *const others[] = {".txt", ".wav", "", ".mdl"};
        for (int i = 0; i < files; ++i) {
            const char *extension = i % 5 == 0 ? (i % 10 == 0 ? ".qc" : ".QC") : others[i % 5 - 1];
            const std::string path = directory + "/" + scrambled(state) + "_" + std::to_string(i) + extension;
            const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
            if (fd < 0)
                throw std::runtime_error("cannot create " + path);
            ::close(fd);
        }
        for (int i = 0; i < files / 20; ++i)
            ::mkdir((directory + "/" + scrambled(state) + "_dir" + std::to_string(i)).c_str(), 0755);
    }

    std::string root_;
};

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// The floor of a change of directory: every name in it read with std::filesystem, sorted.
std::vector<std::string> sortedNames(const std::string &directory)
{
    std::vector<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The listing alone, for the growth with the number of files.
void BM_ListFiles(benchmark::State &state)
{
    const int files = static_cast<int>(state.range(0));
    const std::string directory = Trees::get().directoryOf(files);
    std::size_t listed = 0;
    for (auto _ : state) {
        const std::vector<std::string> names = vardo::nav::listFiles(directory, "*.*");
        listed = names.size();
        benchmark::DoNotOptimize(names.data());
    }
    if (listed != static_cast<std::size_t>(files))
        state.SkipWithError("wrong number of files listed");
    state.SetComplexityN(files);
    state.counters["files"] = static_cast<double>(listed);
}
BENCHMARK(BM_ListFiles)->Arg(10'000)->Arg(50'000)->Arg(100'000)->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNLogN);

// The whole change of directory as the window makes it: the rows of the directory list, the
// QuakeC list through its link, the all-files list through the change event, and the repaint;
// against the floor of sortedNames on the same directory in the same run.
void BM_ChangeDirectory(benchmark::State &state)
{
    const Trees &trees = Trees::get();
    const std::string big = trees.directoryOf(100'000);
    const std::string saved = fs::current_path().string();
    if (::chdir(trees.empty().c_str()) != 0) {
        state.SkipWithError("cannot enter the empty directory");
        return;
    }
    vardo::DirectoryListBox dir;
    vardo::FileListBox qclista("*.qc");
    vardo::FileListBox listado("*.*");
    dir.setLinkedFileList(&qclista);
    QObject::connect(&dir, &vardo::DirectoryListBox::directoryChanged, &listado,
                     [&] { listado.setDirectory(dir.directory()); });
    // The lists read their entries only once they are shown.
    for (QWidget *widget : {static_cast<QWidget *>(&dir), static_cast<QWidget *>(&qclista),
                            static_cast<QWidget *>(&listado)}) {
        widget->resize(200, 400);
        widget->show();
    }
    QApplication::processEvents();

    double ours = 0, floor = 0;
    for (auto _ : state) {
        dir.changeDirectory(trees.empty());
        QApplication::processEvents();
        const auto start = Clock::now();
        dir.changeDirectory(big);
        QApplication::processEvents();
        const auto middle = Clock::now();
        benchmark::DoNotOptimize(sortedNames(big).data());
        const auto end = Clock::now();
        ours += seconds(start, middle);
        floor += seconds(middle, end);
        state.SetIterationTime(seconds(start, middle));
    }
    reportAgainstFloor(state, ours, floor);
    if (qclista.count() != 20'000 || listado.count() != 100'000 || dir.count() < 5'000)
        state.SkipWithError("the lists do not show the large directory");
    state.counters["qc"] = qclista.count();
    state.counters["all"] = listado.count();
    state.counters["rows"] = dir.count();
    (void)::chdir(saved.c_str());
}
BENCHMARK(BM_ChangeDirectory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// One Down key in an all-files list, with its click event and repaint: the same at 10,000
// and at 100,000 entries.
void BM_ListadoDownKey(benchmark::State &state)
{
    const std::string saved = fs::current_path().string();
    vardo::FileListBox listado("*.*");
    listado.resize(200, 400);
    listado.show();
    const int files = static_cast<int>(state.range(0));
    listado.setDirectory(Trees::get().directoryOf(files));
    int clicks = 0;
    QObject::connect(&listado, &vardo::FileListBox::fileClicked, &listado, [&clicks] { ++clicks; });
    listado.setCurrentRow(0);
    QApplication::processEvents();
    for (auto _ : state) {
        if (listado.currentRow() == listado.count() - 1) {
            state.PauseTiming();
            listado.setCurrentRow(0);
            state.ResumeTiming();
        }
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(&listado, &down);
        QApplication::processEvents();
    }
    if (listado.count() != files || clicks == 0)
        state.SkipWithError("the list did not move");
    state.counters["entries"] = listado.count();
    (void)::chdir(saved.c_str());
}
BENCHMARK(BM_ListadoDownKey)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
