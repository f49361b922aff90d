// The function index on a large file: the rebuild after a load and the jump to the last entry.
#include "benchtext.h"
#include "widgetbench.h"
#include "windowbench.h"

#include "app/form1.h"
#include "core/qc/functionindex.h"
#include "doc/qtext.h"
#include "edit/indexcontroller.h"
#include "lists/indexcombobox.h"
#include "panes/textpane.h"

#include <benchmark/benchmark.h>

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

} // namespace

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
