#pragma once

#include "workbench/workbench.h"

#include <QObject>

class QPushButton;
class QWidget;

namespace vardo {

class CompileRun;
class OutputList;

// Compiling in the project root with the button or F7, the output list's rows, and F4 /
// Shift+F4 to walk through the places they name.
class CompileController : public QObject {
    Q_OBJECT

public:
    // The keys work anywhere in `window`.
    CompileController(Workbench &workbench, QPushButton *button, OutputList *output, QWidget *window);

    // Saves the edited text where it must be, then starts the compiler over.
    void compile();
    // F4 walks another list while the output list is hidden and that one is shown.
    void walkAlso(OutputList *other) { other_ = other; }

signals:
    // The compiler ended; it may have written files of its own (progs.dat, progs.lno, logs).
    void ended();

private:
    OutputList *walked() const;

    Workbench &workbench_;
    OutputList *output_;
    OutputList *other_ = nullptr;
    CompileRun *run_;
};

} // namespace vardo
