#pragma once

#include "app/startup.h"

#include <QApplication>
#include <QStandardPaths>
#include <benchmark/benchmark.h>

// Runs the registered benchmarks inside an application on the offscreen platform, as the
// widgets need one, with settings apart from the user's. Returns the exit status for main().
inline int runWidgetBenchmarks(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The windows measured here must not touch the user's settings.
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    // Memory as the editor's main() sets it up.
    vardo::mapLargeBlocksApart();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
