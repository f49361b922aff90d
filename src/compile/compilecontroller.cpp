#include "compile/compilecontroller.h"

#include "compile/compilerdialog.h"
#include "compile/compilerun.h"
#include "lists/outputlist.h"
#include "ui/errorbox.h"

#include <QAction>
#include <QPushButton>
#include <QShortcut>

namespace vardo {

CompileController::CompileController(Workbench &workbench, QPushButton *button, OutputList *output, QWidget *window)
    : QObject(window), workbench_(workbench), output_(output), run_(new CompileRun(output, this))
{
    connect(run_, &CompileRun::ended, this, &CompileController::ended);
    const auto guarded = [](auto action) { return [action] { runGuarded(action); }; };
    connect(button, &QPushButton::clicked, this, guarded([this] { compile(); }));
    const auto shortcut = [&](QKeySequence keys, auto action) {
        connect(new QShortcut(keys, window), &QShortcut::activated, this, guarded(action));
    };
    // Right-click on the button: which compiler it runs, and how.
    auto *choose = new QAction(QStringLiteral("Compiler…"), button);
    button->addAction(choose);
    button->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(choose, &QAction::triggered, this, guarded([this, window] { CompilerDialog(workbench_.settings(), window).exec(); }));
    shortcut(QKeySequence(Qt::Key_F7), [this] { compile(); });
    shortcut(QKeySequence(Qt::Key_F4), [this] { walked()->goToNext(); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F4), [this] { walked()->goToPrevious(); });
}

OutputList *CompileController::walked() const
{
    return output_->isHidden() && other_ && other_->isVisible() ? other_ : output_;
}

void CompileController::compile()
{
    // The compiler must see what the user sees; a write that failed or was cancelled stops here.
    if (!workbench_.saveEditedFile())
        return;
    workbench_.showPage(Workbench::Page::Edit);
    run_->start(workbench_.projectRoot(), build::savedChoice(workbench_.settings()));
}

} // namespace vardo
