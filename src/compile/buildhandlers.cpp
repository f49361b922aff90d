// Compiling in the working directory, and the output list's way to the places it names.
#include "app/form1.h"

#include "ui/notebook.h"
#include "ui/errorbox.h"
#include "compile/compilerun.h"
#include "lists/outputlist.h"
#include "lists/filelistbox.h"
#include "tools/programs.h"

#include <QCheckBox>
#include <QShortcut>

namespace vardo {

void TForm1::bindBuildEvents()
{
    compileRun_ = new CompileRun(output, this);
    // Compilers write files of their own (progs.dat, progs.lno, logs).
    compileRun_->onEnd = [this] {
        runGuarded([this] {
            qclista->refresh();
            listado->refresh();
        });
    };
    output->onGoTo = [this](const OutputRow &row) {
        runGuarded([this, &row] { GoToPlace(row.file, row.line, row.column); });
    };
    const auto shortcut = [this](QKeySequence keys, auto action) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, [action] { runGuarded(action); });
    };
    shortcut(QKeySequence(Qt::Key_F7), [this] { Button6Click(); });
    shortcut(QKeySequence(Qt::Key_F4), [this] { output->goToNext(); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F4), [this] { output->goToPrevious(); });
}

void TForm1::Button6Click()
{
    // The compiler must see what the user sees; a write that failed or was cancelled stops here.
    if (auto_->isChecked() && !AutosaveEditor())
        return;
    Manager->setCurrentIndex(EditPage);
    compileRun_->start(tools::workingDirectory());
}

} // namespace vardo
