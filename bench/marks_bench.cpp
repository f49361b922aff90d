// What the editor's line numbers, current line and bracket marks cost: a key and a load of the
// 10 MB file in a shown pane with them against the same pane without them, in the same run, and
// the bracket match across a line as long as the editor keeps editable.
#include "editorpanebench.h"
#include "floor.h"
#include "widgetbench.h"

#include "core/text/textmodel.h"
#include "edit/brackets.h"
#include "panes/colouring.h"
#include "panes/textpane.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <benchmark/benchmark.h>
#include <memory>

using vardo::QuakeCColouring;
using vardo::TextPane;

namespace {

// The editor pane as the window shows it, coloured, with or without the marks.
std::unique_ptr<TextPane> shownPane(bool marked)
{
    auto pane = std::make_unique<TextPane>(TextPane::Kind::RichEdit);
    new QuakeCColouring(pane.get());
    if (marked) {
        pane->setLineNumbersShown(true);
        pane->setCurrentLineShown(true);
        new vardo::BracketMarks(pane.get(), pane.get());
    }
    showAsTheEditor(*pane);
    QApplication::processEvents();
    return pane;
}

// Loads alternate between the marked and the bare pane, so that both see the same machine.
void BM_LoadMarkedAgainstBare(benchmark::State &state)
{
    auto marked = shownPane(true);
    auto bare = shownPane(false);
    double markedSeconds = 0, bareSeconds = 0;
    // Each goes first in turn: the first load of a round pays for freeing the text before.
    bool markedFirst = true;
    const auto timedLoad = [](TextPane &pane) {
        const double start = threadSeconds();
        loadAndPaint(pane);
        return threadSeconds() - start;
    };
    for (auto _ : state) {
        if (markedFirst) {
            markedSeconds += timedLoad(*marked);
            bareSeconds += timedLoad(*bare);
        } else {
            bareSeconds += timedLoad(*bare);
            markedSeconds += timedLoad(*marked);
        }
        markedFirst = !markedFirst;
    }
    reportAgainstFloor(state, markedSeconds, bareSeconds);
    state.counters["marked_ms"] = 1000 * markedSeconds / static_cast<double>(state.iterations());
}

// Types a key (or takes it back) between the brackets of "void()" in the middle of the file,
// with the paint that follows, in each pane in turn; the difference is what the marks add.
void BM_KeyMarkedAgainstBare(benchmark::State &state)
{
    auto marked = shownPane(true);
    auto bare = shownPane(false);
    for (TextPane *pane : {marked.get(), bare.get()}) {
        loadAndPaint(*pane);
        QTextCursor caret(pane->document()->findBlockByNumber(150000));
        caret.setPosition(caret.position() + 5);
        pane->setTextCursor(caret);
        pane->centerCursor();
        pane->viewport()->repaint();
    }
    double markedSeconds = 0, bareSeconds = 0;
    bool add = true;
    const auto key = [&](TextPane &pane) {
        QKeyEvent press(QEvent::KeyPress, add ? Qt::Key_X : Qt::Key_Backspace, Qt::NoModifier,
                        add ? QStringLiteral("x") : QStringLiteral("\b"));
        const double start = threadSeconds();
        QApplication::sendEvent(&pane, &press);
        pane.viewport()->repaint();
        return threadSeconds() - start;
    };
    for (auto _ : state) {
        markedSeconds += key(*marked);
        bareSeconds += key(*bare);
        add = !add;
    }
    reportAgainstFloor(state, markedSeconds, bareSeconds);
    state.counters["added_ms"] = 1000 * (markedSeconds - bareSeconds) / static_cast<double>(state.iterations());
}

// The caret after the "(" that opens a line as long as the editor keeps editable, its partner
// at the far end; floor: counting that line's round brackets in a bare QString, same run.
void BM_MatchBracketOnLongLine(benchmark::State &state)
{
    auto pane = shownPane(true);
    // Brackets of both kinds between, and round ones in comments and strings, which do not count.
    const QString piece = QStringLiteral("a[1] + /* ) */ \"(\" + ");
    const auto length = static_cast<qsizetype>(vardo::text::kLongLineLimit);
    QString line = QStringLiteral("(");
    while (line.size() + piece.size() < length - 1)
        line += piece;
    line = line.leftJustified(length - 1) + u')';
    pane->setPlainText(line);
    QuakeCColouring &colouring = *QuakeCColouring::of(pane.get());
    const QTextBlock block = pane->document()->firstBlock();
    double ours = 0, floor = 0;
    for (auto _ : state) {
        double start = threadSeconds();
        const auto pair = vardo::matchBracket(colouring, block, 1);
        ours += threadSeconds() - start;
        if (!pair || pair->match != line.size() - 1)
            state.SkipWithError("the partner was not found");
        start = threadSeconds();
        int depth = 0;
        for (const QChar c : line)
            depth += c == u'(' ? 1 : c == u')' ? -1 : 0;
        benchmark::DoNotOptimize(depth);
        floor += threadSeconds() - start;
    }
    reportAgainstFloor(state, ours, floor);
    state.counters["line"] = static_cast<double>(line.size());
}

} // namespace

BENCHMARK(BM_LoadMarkedAgainstBare)->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyMarkedAgainstBare)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchBracketOnLongLine)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    const int status = runWidgetBenchmarks(argc, argv);
    std::remove(sourceFile().c_str());
    return status;
}
