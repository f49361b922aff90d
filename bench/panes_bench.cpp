#include "app/form1.h"
#include "benchtext.h"
#include "floor.h"
#include "panes/textpane.h"
#include "ui/fonts.h"
#include "widgetbench.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <chrono>
#include <memory>

#include <benchmark/benchmark.h>
#include <fstream>
#include <map>
#include <unistd.h>

using vardo::TextPane;

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

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

// A pane set up as the editor is, at the size it has in the window, shown.
class ShownEditor : public TextPane {
public:
    ShownEditor() : TextPane(TextPane::Kind::RichEdit)
    {
        setLineWrapMode(QPlainTextEdit::NoWrap);
        resize(732, 460);
        show();
        QApplication::processEvents();
    }
};

// A load into the shown editor, painted; the floor is a bare shown QPlainTextEdit taking the
// same text, decoded, with setPlainText.
void BM_Load(benchmark::State &state)
{
    const int lines = static_cast<int>(state.range(0));
    const std::string path = sourceFile(lines);
    const QString decoded = QString::fromLatin1(quakecSource(lines)).replace(QLatin1String("\r\n"), QLatin1String("\n"));
    double ours = 0, floor = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        {
            ShownEditor pane;
            pane.loadFromFile(path);
            QApplication::processEvents();
        }
        const auto middle = Clock::now();
        {
            QPlainTextEdit bare;
            bare.setLineWrapMode(QPlainTextEdit::NoWrap);
            bare.resize(732, 460);
            bare.show();
            QApplication::processEvents();
            bare.setPlainText(decoded);
            QApplication::processEvents();
        }
        const auto end = Clock::now();
        ours += seconds(start, middle);
        floor += seconds(middle, end);
        state.SetIterationTime(seconds(start, middle));
    }
    reportAgainstFloor(state, ours, floor);
    state.SetBytesProcessed(state.iterations() * static_cast<long>(quakecSource(lines).size()));
}

// Resident memory added by the file open in the shown editor, painted, per byte of file.
void BM_LoadMemory(benchmark::State &state)
{
    const std::string path = sourceFile(static_cast<int>(state.range(0)));
    const double bytes = static_cast<double>(quakecSource(static_cast<int>(state.range(0))).size());
    for (auto _ : state) {
        ShownEditor pane;
        const long before = residentKiB();
        pane.loadFromFile(path);
        QApplication::processEvents();
        pane.verticalScrollBar()->setValue(pane.verticalScrollBar()->maximum() / 2);
        QApplication::processEvents();
        state.counters["rss_per_file_byte"] = (residentKiB() - before) * 1024.0 / bytes;
    }
}

// The shown window with a text open for editing and the caret in the middle of line `line`.
vardo::TForm1 &windowEditing(const std::string &bytes, int line)
{
    static QTemporaryDir directory;
    static std::unique_ptr<vardo::TForm1> form;
    if (!form) {
        vardo::registerWindowsFonts();
        if (::chdir(directory.path().toLocal8Bit().constData()) != 0)
            std::abort();
        form = std::make_unique<vardo::TForm1>();
        form->show();
        QApplication::processEvents();
    }
    const std::string path = directory.path().toStdString() + "/edited.qc";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    form->auto_->setChecked(false);
    form->openForEdit(path);
    QTextCursor caret(form->vardo->document()->findBlockByNumber(line));
    caret.movePosition(QTextCursor::EndOfBlock);
    caret.setPosition(caret.block().position() + caret.block().length() / 2);
    form->vardo->setTextCursor(caret);
    form->vardo->setFocus();
    QApplication::processEvents();
    return *form;
}

// One typed character in the editor of the shown window, with everything it sets off, painted.
void typeOneKey(benchmark::State &state, vardo::TForm1 &form)
{
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(form.vardo, &press);
        QApplication::sendEvent(form.vardo, &release);
        QApplication::processEvents();
    }
}

// One key on a line as long as the editor keeps editable, among ordinary lines.
void BM_KeyOnLongLine(benchmark::State &state)
{
    const auto length = static_cast<std::size_t>(state.range(0));
    std::string line;
    while (line.size() < length)
        line += "self.nextthink = time + 0.1; ";
    line.resize(length);
    typeOneKey(state, windowEditing(quakecSource(100) + "\r\n" + line + "\r\n" + quakecSource(100), 101));
    state.counters["line"] = static_cast<double>(length);
}

// One key on an ordinary line of the 10 MB file.
void BM_KeyOnOrdinaryLine(benchmark::State &state)
{
    typeOneKey(state, windowEditing(quakecSource(static_cast<int>(state.range(0))), static_cast<int>(state.range(0) / 2)));
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

BENCHMARK(BM_Load)->Arg(30000)->Arg(300000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMemory)->Arg(300000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeText)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LineCount)->Arg(30000)->Arg(300000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EveryLineByIndex)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyOnLongLine)->Arg(static_cast<long>(vardo::text::kLongLineLimit))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyOnOrdinaryLine)->Arg(300000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindWordAtTheEnd)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    const int status = runWidgetBenchmarks(argc, argv);
    for (int lines : {30000, 300000})
        std::remove(sourceFile(lines).c_str());
    return status;
}
