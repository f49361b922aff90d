#include "app/form1.h"
#include "benchtext.h"
#include "floor.h"
#include "panes/panestyle.h"
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
    // The caret's line in the middle of the view, as most typing is.
    const int rows = form->vardo->viewport()->height() / form->vardo->fontMetrics().lineSpacing();
    form->vardo->verticalScrollBar()->setValue(line - rows / 2);
    form->vardo->setFocus();
    QApplication::processEvents();
    return *form;
}

// The floor of a key in the editor: a bare shown QPlainTextEdit with the editor's face and
// size, no colour, given the same text with setPlainText, the caret and the view at the same
// place.
class BareEditor : public QPlainTextEdit {
public:
    BareEditor(const TextPane &editor, const std::string &bytes)
    {
        setFont(vardo::editorFont());
        setLineWrapMode(QPlainTextEdit::NoWrap);
        resize(editor.size());
        show();
        setPlainText(QString::fromLatin1(bytes).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        QTextCursor caret(document()->findBlockByNumber(editor.textCursor().blockNumber()));
        caret.setPosition(caret.block().position() + editor.textCursor().positionInBlock());
        setTextCursor(caret);
        verticalScrollBar()->setValue(editor.verticalScrollBar()->value());
        QApplication::processEvents();
    }
};

// Gives the keyboard to an editor and its window, as the window a user types into has it: the
// caret blinks and the input method follows it. What the change sets off is done before the
// next key.
void focusOn(QWidget &editor)
{
    QApplication::setActiveWindow(editor.window());
    editor.setFocus();
    QApplication::processEvents();
}

// The window thread's processor time of one typed character, or of the Backspace that takes it
// back, with everything the key sets off and the paint it asks for. Taking each character back
// keeps the line as it was, so that no key scrolls the view.
double typeKey(QWidget &pane, bool add)
{
    const double start = threadSeconds();
    const Qt::Key key = add ? Qt::Key_X : Qt::Key_Backspace;
    const QString text = add ? QStringLiteral("x") : QStringLiteral("\b");
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(&pane, &press);
    QApplication::sendEvent(&pane, &release);
    QApplication::processEvents();
    return threadSeconds() - start;
}

// One key in the editor of the shown window, against the same in the bare editor, each with
// the keyboard; the editors take turns by runs of keys. The time is the editor's wall time.
void typeOneKey(benchmark::State &state, const std::string &bytes, int line)
{
    constexpr int kRun = 64;
    vardo::TForm1 &form = windowEditing(bytes, line);
    BareEditor bare(*form.vardo, bytes);
    double ours = 0, floor = 0;
    const auto runOnBare = [&](int keys) {
        focusOn(bare);
        for (int i = 0; i < keys; ++i)
            floor += typeKey(bare, i % 2 == 0);
        focusOn(*form.vardo);
    };
    focusOn(*form.vardo);
    int typed = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        ours += typeKey(*form.vardo, typed % 2 == 0);
        state.SetIterationTime(seconds(start, Clock::now()));
        if (++typed % kRun == 0) {
            state.PauseTiming();
            runOnBare(kRun);
            state.ResumeTiming();
        }
    }
    // The last run's keys, and the Backspace that leaves each text as it was.
    runOnBare(typed % kRun + typed % 2);
    if (typed % 2)
        typeKey(*form.vardo, false);
    reportAgainstFloor(state, ours, floor * typed / (typed + typed % 2));
    state.counters["cpu_ms"] = 1000 * ours / static_cast<double>(state.iterations());
}

// A source in which the checker finds nothing wrong, as in most typing, whose line `at` is
// `line` among ordinary lines of a function.
std::string checkedSourceWith(const std::string &line, int at)
{
    const std::string ordinary = "    self.nextthink = time + 0.1;\r\n";
    std::string text = "entity self;\r\nfloat time;\r\n.float nextthink;\r\nvoid() think =\r\n{\r\n";
    for (int i = 5; i < at; ++i)
        text += ordinary;
    text += line + "\r\n";
    for (int i = 0; i < 100; ++i)
        text += ordinary;
    return text + "};\r\n";
}

// One key on a line as long as the editor keeps editable, among ordinary lines.
void BM_KeyOnLongLine(benchmark::State &state)
{
    const auto length = static_cast<std::size_t>(state.range(0));
    const std::string statement = " self.nextthink = time + 0.1;";
    std::string line = "   ";
    while (line.size() + statement.size() <= length)
        line += statement;
    line.resize(length, ' ');
    typeOneKey(state, checkedSourceWith(line, 101), 101);
    state.counters["line"] = static_cast<double>(length);
}

// One key on an ordinary line of the 10 MB file.
void BM_KeyOnOrdinaryLine(benchmark::State &state)
{
    typeOneKey(state, quakecSource(static_cast<int>(state.range(0))), static_cast<int>(state.range(0) / 2));
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
BENCHMARK(BM_KeyOnLongLine)
    ->Arg(static_cast<long>(vardo::text::kLongLineLimit))
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyOnOrdinaryLine)->Arg(300000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindWordAtTheEnd)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    const int status = runWidgetBenchmarks(argc, argv);
    for (int lines : {30000, 300000})
        std::remove(sourceFile(lines).c_str());
    return status;
}
