// The function index on a large file: the rebuild after a load and the jump to the last entry;
// and the filter of a long index's open drop-down.
#include "benchtext.h"
#include "floor.h"
#include "widgetbench.h"
#include "windowbench.h"

#include "app/form1.h"
#include "core/qc/functionindex.h"
#include "doc/qtext.h"
#include "edit/indexcontroller.h"
#include "lists/indexcombobox.h"
#include "panes/textpane.h"

#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <benchmark/benchmark.h>
#include <chrono>

using vardo::TForm1;

namespace {

// The shown window, its editor holding the generated source of that many lines.
TForm1 &formWithText(int lines)
{
    static int loadedLines = 0;
    TForm1 &form = windowbench::shownWindow();
    if (loadedLines != lines) {
        form.vardo->setBytes(quakecSource(lines));
        loadedLines = lines;
    }
    return form;
}

void BM_RebuildFunctionIndex(benchmark::State &state)
{
    TForm1 &form = formWithText(static_cast<int>(state.range(0)));
    for (auto _ : state)
        form.functionIndex->rebuild();
    state.counters["entries"] = form.com->count();
    state.SetComplexityN(state.range(0));
}

// The toolkit-free part of the rebuild, for comparison.
void BM_ScanOnly(benchmark::State &state)
{
    const QString text = formWithText(static_cast<int>(state.range(0))).vardo->wholeText();
    for (auto _ : state)
        benchmark::DoNotOptimize(vardo::edit::scanFunctionIndex(vardo::u16view(text)));
    state.SetComplexityN(state.range(0));
}

void BM_JumpToLastEntry(benchmark::State &state)
{
    TForm1 &form = formWithText(static_cast<int>(state.range(0)));
    form.functionIndex->rebuild();
    form.com->setCurrentIndex(form.com->count() - 1);
    for (auto _ : state) {
        form.functionIndex->jumpToChoice();
        benchmark::DoNotOptimize(form.vardo->textCursor().position());
    }
    if (form.vardo->textCursor().selectedText() != form.com->currentText())
        state.SkipWithError("the jump did not select the entry");
    state.SetComplexityN(state.range(0));
}

// One key typed in the open drop-down of an index of that many entries, which filters its rows,
// then Backspace, which shows them all again; floor: the same keys in the open drop-down of a
// bare QComboBox of the same rows, which only searches by the start of an entry, same run.
void BM_FilterIndex(benchmark::State &state)
{
    const int entries = static_cast<int>(state.range(0));
    vardo::IndexComboBox index;
    QComboBox bare;
    for (int i = 0; i < entries; ++i) {
        const QString name = QStringLiteral("monster_think_%1").arg(i);
        index.addItem(QStringLiteral("void() %1 =").arg(name));
        index.setItemData(i, name, vardo::IndexComboBox::kNameRole);
        bare.addItem(QStringLiteral("void() %1 =").arg(name));
    }
    for (QComboBox *box : {static_cast<QComboBox *>(&index), &bare}) {
        box->show();
        box->showPopup();
    }
    QApplication::processEvents();
    const auto typed = [](QComboBox &box, Qt::Key key, const QString &text) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        const auto start = std::chrono::steady_clock::now();
        QApplication::sendEvent(box.view(), &press);
        QApplication::processEvents();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    double ours = 0, floor = 0;
    for (auto _ : state) {
        ours += typed(index, Qt::Key_1, QStringLiteral("1")) + typed(index, Qt::Key_Backspace, QStringLiteral("\b"));
        floor += typed(bare, Qt::Key_V, QStringLiteral("v")) + typed(bare, Qt::Key_Backspace, QStringLiteral("\b"));
    }
    if (!index.filter().isEmpty())
        state.SkipWithError("the filter was not taken back");
    reportAgainstFloor(state, ours, floor);
    state.counters["per_key_ms"] = 1000 * ours / 2 / static_cast<double>(state.iterations());
}

} // namespace

BENCHMARK(BM_FilterIndex)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildFunctionIndex)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_ScanOnly)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_JumpToLastEntry)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

int main(int argc, char **argv)
{
    const int status = runWidgetBenchmarks(argc, argv);
    windowbench::closeShownWindow();
    return status;
}
