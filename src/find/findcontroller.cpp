#include "find/findcontroller.h"

#include "find/findbar.h"
#include "panes/textpane.h"

#include <QInputDialog>
#include <QShortcut>
#include <QTextBlock>

namespace vardo {

FindController::FindController(Workbench &workbench, FindBar *bar, QWidget *window)
    : QObject(window), workbench_(workbench), bar_(bar), window_(window)
{
    const std::pair<QKeySequence, std::function<void()>> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_F), [bar] { bar->openFind(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_H), [bar] { bar->openReplace(); }},
        {QKeySequence(Qt::Key_F3), [bar] { bar->findNext(); }},
        {QKeySequence(Qt::SHIFT | Qt::Key_F3), [bar] { bar->findPrevious(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_G), [this] { askForLine(); }},
    };
    for (const auto &[key, action] : keys)
        connect(new QShortcut(key, window), &QShortcut::activated, this, action);
    frontPaneChanged();
}

void FindController::frontPaneChanged()
{
    bar_->setFrontPane(workbench_.frontPane());
}

void FindController::askForLine()
{
    TextPane *pane = workbench_.frontPane();
    auto *dialog = new QInputDialog(window_);
    dialog->setObjectName(QStringLiteral("gotoline"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Go to line"));
    const int lines = pane->document()->blockCount();
    dialog->setLabelText(QStringLiteral("Line number (1 to %1):").arg(lines));
    dialog->setInputMode(QInputDialog::IntInput);
    dialog->setIntRange(1, lines);
    dialog->setIntValue(pane->textCursor().blockNumber() + 1);
    connect(dialog, &QInputDialog::intValueSelected, this, [pane](int line) { goToLine(pane, line); });
    dialog->open();
}

void goToLine(TextPane *pane, int line)
{
    const QTextBlock block = pane->document()->findBlockByNumber(std::max(0, line - 1));
    if (!block.isValid())
        return;
    pane->setTextCursor(QTextCursor(block));
    pane->placeCaretInUpperThird();
    if (pane->isVisible())
        pane->setFocus(Qt::OtherFocusReason);
}

} // namespace vardo
