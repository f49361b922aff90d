#pragma once

#include "app/form1.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace windowbench {

inline std::unique_ptr<vardo::TForm1> &window()
{
    static std::unique_ptr<vardo::TForm1> form;
    return form;
}

// One shown window for the whole benchmark program, made on first use. It lists an empty
// temporary directory, so that nothing else is timed.
inline vardo::TForm1 &shownWindow()
{
    static QTemporaryDir directory;
    std::unique_ptr<vardo::TForm1> &form = window();
    if (!form) {
        if (::chdir(directory.path().toLocal8Bit().constData()) != 0)
            std::abort();
        form = std::make_unique<vardo::TForm1>();
        form->show();
        QApplication::processEvents();
    }
    return *form;
}

// Ends the window; main() calls it once the benchmarks have run.
inline void closeShownWindow()
{
    window().reset();
}

} // namespace windowbench
