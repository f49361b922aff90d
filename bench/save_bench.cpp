// What writing a file back costs now that it keeps its own line ends, against the write that
// turned every line end into CR LF, in the same run: the 10 MB source with LF ends, and the same
// with every other line ending in CR LF, whose lines each keep their own end.
#include "benchtext.h"
#include "widgetbench.h"

#include "core/files/fileio.h"
#include "core/text/textmodel.h"
#include "doc/document.h"
#include "doc/qtext.h"

#include <QTemporaryDir>
#include <QTextDocument>
#include <benchmark/benchmark.h>
#include <fstream>
#include <memory>

using vardo::Document;

namespace {

constexpr int kLines = 300000;

struct NoProgress : vardo::LoadProgress {
    void step(double) override {}
    void stopCancelling() override {}
};

std::string withEnds(const std::string &crlf, bool mixed)
{
    std::string bytes;
    bytes.reserve(crlf.size());
    bool keepCr = false;
    for (const char c : crlf) {
        if (c == '\r') {
            if (mixed && keepCr)
                bytes += c;
            keepCr = !keepCr;
            continue;
        }
        bytes += c;
    }
    return bytes;
}

struct Loaded {
    QTemporaryDir directory;
    QTextDocument buffer;
    std::unique_ptr<Document> document;
    std::string path;
};

// A document holding the 10 MB source as read from a file with LF ends, or with mixed ends.
Loaded &loaded(bool mixed)
{
    static Loaded files[2];
    Loaded &l = files[mixed];
    if (!l.document) {
        l.path = l.directory.path().toStdString() + "/big.qc";
        std::ofstream(l.path, std::ios::binary) << withEnds(quakecSource(kLines), mixed);
        l.document = std::make_unique<Document>(&l.buffer, "failed");
        NoProgress progress;
        l.document->apply(l.path, Document::read(l.path, progress), progress);
    }
    return l;
}

void BM_SaveKeepingLineEnds(benchmark::State &state)
{
    Loaded &l = loaded(state.range(0) != 0);
    for (auto _ : state)
        vardo::fileio::saveFileSafely(l.path, l.document->fileBytes());
}

// The earlier write: the whole text with CR LF for every line end.
void BM_FloorSaveAllCrLf(benchmark::State &state)
{
    Loaded &l = loaded(state.range(0) != 0);
    for (auto _ : state) {
        const QString text = l.buffer.toRawText();
        vardo::fileio::saveFileSafely(
            l.path, vardo::text::encodeLines(vardo::u16view(text), char16_t(QChar::ParagraphSeparator), "\r\n"));
    }
}

} // namespace

BENCHMARK(BM_SaveKeepingLineEnds)->ArgName("mixed")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorSaveAllCrLf)->ArgName("mixed")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
