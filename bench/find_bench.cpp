// The find bar on a 10 MB file in the shown window: the next match and replace all, each beside
// a bare floor measured in the same run.
#include "benchtext.h"
#include "widgetbench.h"
#include "windowbench.h"

#include "app/form1.h"
#include "doc/qtext.h"
#include "find/findbar.h"
#include "panes/textpane.h"

#include <QLineEdit>
#include <benchmark/benchmark.h>

using vardo::TForm1;

namespace {

// 300,000 lines, 10 MB; every third line holds "health" once: 100,000 matches.
std::string healthSource()
{
    std::string text;
    for (int i = 0; i < 300000; ++i)
        text += i % 3 == 0 ? "    self.health = self.max + 100;\r\n" : "    self.nextthink = time + 0.1;\r\n";
    return text;
}

TForm1 &formWith(const std::string &bytes)
{
    static const std::string *loaded = nullptr;
    TForm1 &form = windowbench::shownWindow();
    if (loaded != &bytes) {
        form.vardo->setBytes(bytes);
        loaded = &bytes;
        QApplication::processEvents();
    }
    return form;
}

const std::string &source10MB()
{
    static const std::string text = quakecSource(300000);
    return text;
}

// From the start of the file to its last line, case ignored.
void BM_FindNextMatch(benchmark::State &state)
{
    TForm1 &f = formWith(source10MB());
    f.findbar->openFind();
    f.findbar->findField->setText(QStringLiteral("ENDMARKER"));
    const bool afterAnEdit = state.range(0) != 0;
    for (auto _ : state) {
        if (afterAnEdit) {
            // A change makes the bar take a fresh copy of the text.
            state.PauseTiming();
            QTextCursor(f.vardo->document()).insertText(QStringLiteral(" "));
            state.ResumeTiming();
        }
        f.vardo->setTextCursor(QTextCursor(f.vardo->document()));
        f.findbar->findNext();
    }
    if (f.vardo->textCursor().selectedText() != QStringLiteral("endmarker"))
        state.SkipWithError("the find did not select the match");
    f.findbar->close();
}

// Floor: a case-sensitive search of the same text in a string already in memory.
void BM_FloorStringFind(benchmark::State &state)
{
    const QString text = formWith(source10MB()).vardo->document()->toRawText();
    for (auto _ : state)
        benchmark::DoNotOptimize(text.indexOf(QStringLiteral("endmarker")));
}

void BM_ReplaceAll100k(benchmark::State &state)
{
    static const std::string source = healthSource();
    TForm1 &f = formWith(source);
    f.findbar->openReplace();
    f.findbar->findField->setText(QStringLiteral("health"));
    f.findbar->replaceField->setText(QStringLiteral("armor"));
    int replaced = 0;
    for (auto _ : state) {
        replaced = f.findbar->replaceAll();
        state.PauseTiming();
        f.vardo->document()->undo();
        state.ResumeTiming();
    }
    state.counters["replaced"] = replaced;
    if (replaced != 100000)
        state.SkipWithError("replace all did not find the 100,000 matches");
    f.findbar->close();
}

// Floor: the same replacement on a bare string in memory.
void BM_FloorStringReplace(benchmark::State &state)
{
    static const std::string source = healthSource();
    const QString text = vardo::fromU16(vardo::text::decodeLines(source));
    for (auto _ : state) {
        QString copy = text;
        benchmark::DoNotOptimize(copy.replace(QStringLiteral("health"), QStringLiteral("armor")));
    }
}

} // namespace

BENCHMARK(BM_FindNextMatch)->ArgName("after_edit")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorStringFind)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAll100k)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorStringReplace)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    const int status = runWidgetBenchmarks(argc, argv);
    windowbench::closeShownWindow();
    return status;
}
