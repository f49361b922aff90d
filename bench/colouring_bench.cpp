// QuakeC colouring in a shown editor pane: the load of a 10 MB file with its first paint,
// scrolling a page and typing a key, each with and without colouring in the same run.
#include "editorpanebench.h"
#include "floor.h"
#include "widgetbench.h"

#include "core/text/textmodel.h"
#include "panes/colouring.h"
#include "panes/textpane.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <benchmark/benchmark.h>
#include <memory>

using vardo::QuakeCColouring;
using vardo::TextPane;

namespace {

// The editor pane as the window shows it, coloured or not.
std::unique_ptr<TextPane> shownPane(bool coloured)
{
    auto pane = std::make_unique<TextPane>(TextPane::Kind::RichEdit);
    (new QuakeCColouring(pane.get()))->setOn(coloured);
    showAsTheEditor(*pane);
    QApplication::processEvents();
    return pane;
}

// Loads alternate between a coloured and a plain pane, so that both see the same machine; the
// counters give each one's mean and their ratio.
void BM_LoadColouredAgainstPlain(benchmark::State &state)
{
    auto coloured = shownPane(true);
    auto plain = shownPane(false);
    double colouredSeconds = 0, plainSeconds = 0;
    for (auto _ : state) {
        double start = threadSeconds();
        loadAndPaint(*coloured);
        colouredSeconds += threadSeconds() - start;
        start = threadSeconds();
        loadAndPaint(*plain);
        plainSeconds += threadSeconds() - start;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["coloured_ms"] = colouredSeconds / n * 1e3;
    state.counters["plain_ms"] = plainSeconds / n * 1e3;
    state.counters["ratio"] = colouredSeconds / plainSeconds;
}

// A page further down each time, into lines never coloured before.
void BM_ScrollOnePage(benchmark::State &state)
{
    auto pane = shownPane(state.range(0) != 0);
    loadAndPaint(*pane);
    QScrollBar *bar = pane->verticalScrollBar();
    for (auto _ : state) {
        bar->setValue(bar->value() + bar->pageStep() >= bar->maximum() ? 0 : bar->value() + bar->pageStep());
        pane->viewport()->repaint();
    }
}

void pressCtrlEnd(QPlainTextEdit &pane)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QApplication::sendEvent(&pane, &press);
    pane.viewport()->repaint();
}

// Ctrl+End with its paint, just after a load of the 10 MB file once the window is idle, against
// a bare QPlainTextEdit given the same text.
void BM_JumpToEndAgainstBare(benchmark::State &state)
{
    auto coloured = shownPane(true);
    QPlainTextEdit bare;
    showAsTheEditor(bare);
    const QString text = QString::fromStdString(quakecSource(300000));
    double ours = 0, floor = 0;
    for (auto _ : state) {
        loadAndPaint(*coloured);
        while (QuakeCColouring::of(coloured.get())->learning())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        double start = threadSeconds();
        pressCtrlEnd(*coloured);
        ours += threadSeconds() - start;
        bare.setPlainText(text);
        bare.viewport()->repaint();
        start = threadSeconds();
        pressCtrlEnd(bare);
        floor += threadSeconds() - start;
    }
    reportAgainstFloor(state, ours, floor);
    state.counters["ours_ms"] = ours / static_cast<double>(state.iterations()) * 1e3;
}

// Types a key or takes it back, and serves the paint it asks for; returns the thread's time.
double keyAndItsPaint(QPlainTextEdit &pane, bool add)
{
    const double start = threadSeconds();
    QKeyEvent press(QEvent::KeyPress, add ? Qt::Key_X : Qt::Key_Backspace, Qt::NoModifier,
                    add ? QStringLiteral("x") : QStringLiteral("\b"));
    QApplication::sendEvent(&pane, &press);
    QApplication::processEvents();
    return threadSeconds() - start;
}

// A key and the paint it asks for, in the coloured pane against a bare QPlainTextEdit with the
// same text, alternately: in the middle of the 10 MB file (length 0), or at the end of a line of
// the given length, the only one.
void BM_KeyAgainstBare(benchmark::State &state)
{
    auto coloured = shownPane(true);
    QPlainTextEdit bare;
    showAsTheEditor(bare);
    if (state.range(0) == 0) {
        loadAndPaint(*coloured);
        bare.setPlainText(QString::fromStdString(quakecSource(300000)));
    } else {
        std::string line;
        while (line.size() < static_cast<std::size_t>(state.range(0)))
            line += "self.health = self.health + 1; ";
        line.resize(static_cast<std::size_t>(state.range(0)) - 1);
        coloured->setBytes(line);
        bare.setPlainText(QString::fromStdString(line));
    }
    for (QPlainTextEdit *pane : {static_cast<QPlainTextEdit *>(coloured.get()), &bare}) {
        QTextCursor cursor(pane->document()->findBlockByNumber(state.range(0) == 0 ? 150000 : 0));
        cursor.movePosition(QTextCursor::EndOfBlock);
        pane->setTextCursor(cursor);
        pane->centerCursor();
        pane->viewport()->repaint();
    }
    QApplication::processEvents();
    double ours = 0, floor = 0;
    bool add = true;
    for (auto _ : state) {
        ours += keyAndItsPaint(*coloured, add);
        floor += keyAndItsPaint(bare, add);
        add = !add;
    }
    reportAgainstFloor(state, ours, floor);
    state.counters["ours_ms"] = ours / static_cast<double>(state.iterations()) * 1e3;
}

// Types a key and takes it back, alternately, with the paint that follows each.
void typeKeys(benchmark::State &state, TextPane &pane)
{
    bool add = true;
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, add ? Qt::Key_X : Qt::Key_Backspace, Qt::NoModifier,
                        add ? QStringLiteral("x") : QStringLiteral("\b"));
        QApplication::sendEvent(&pane, &press);
        pane.viewport()->repaint();
        add = !add;
    }
}

// In the middle of the 10 MB file.
void BM_TypeOneKey(benchmark::State &state)
{
    auto pane = shownPane(state.range(0) != 0);
    loadAndPaint(*pane);
    pane->setTextCursor(QTextCursor(pane->document()->findBlockByNumber(150000)));
    pane->centerCursor();
    typeKeys(state, *pane);
}

// At the end of a line of the given length, the only one in the pane.
void BM_TypeOnLongLine(benchmark::State &state)
{
    auto pane = shownPane(state.range(1) != 0);
    std::string line;
    while (line.size() < static_cast<std::size_t>(state.range(0)))
        line += "self.health = self.health + 1; ";
    line.resize(static_cast<std::size_t>(state.range(0)) - 1);
    pane->setBytes(line);
    pane->moveCursor(QTextCursor::End);
    pane->viewport()->repaint();
    typeKeys(state, *pane);
}

} // namespace

BENCHMARK(BM_LoadColouredAgainstPlain)->Iterations(6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JumpToEndAgainstBare)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyAgainstBare)
    ->ArgName("length")
    ->Arg(0)
    ->Arg(static_cast<long>(vardo::text::kLongLineLimit))
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollOnePage)->ArgName("coloured")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeOneKey)->ArgName("coloured")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeOnLongLine)
    ->ArgNames({"length", "coloured"})
    ->ArgsProduct({{QuakeCColouring::kLongestColouredLine, static_cast<long>(vardo::text::kLongLineLimit)}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    const int status = runWidgetBenchmarks(argc, argv);
    std::remove(sourceFile().c_str());
    return status;
}
