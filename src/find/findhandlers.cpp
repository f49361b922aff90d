// The find bar, its keys, and go to line, for the pane in front.
#include "app/form1.h"

#include "ui/notebook.h"
#include "find/findbar.h"
#include "panes/textpane.h"

#include <QBoxLayout>
#include <QInputDialog>
#include <QShortcut>
#include <QTextBlock>

namespace vardo {

void TForm1::buildFindBar()
{
    findbar = new FindBar(Panel2);
    static_cast<QBoxLayout *>(Panel2->layout())->addWidget(findbar);
    findbar->frontPane = [this] { return frontPane(); };
    for (TextPane *pane : {vardo, veer, test})
        findbar->watch(pane);
    for (TabbedNotebook *notebook : {Manager, TabbedNotebook2})
        connect(notebook, &QTabWidget::currentChanged, findbar, &FindBar::frontPaneChanged);

    const std::pair<QKeySequence, void (TForm1::*)()> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_F), &TForm1::findClick},
        {QKeySequence(Qt::CTRL | Qt::Key_H), &TForm1::replaceClick},
        {QKeySequence(Qt::Key_F3), &TForm1::findNextClick},
        {QKeySequence(Qt::SHIFT | Qt::Key_F3), &TForm1::findPreviousClick},
        {QKeySequence(Qt::CTRL | Qt::Key_G), &TForm1::goToLineClick},
    };
    for (const auto &[key, handler] : keys)
        connect(new QShortcut(key, this), &QShortcut::activated, this, handler);
}

TextPane *TForm1::frontPane() const
{
    switch (Manager->currentIndex()) {
    case NavPage:
        return test;
    case EditPage:
        return vardo;
    case ViewPage:
        return veer;
    case HelpPage:
        return Memos[static_cast<std::size_t>(TabbedNotebook2->currentIndex())];
    default:
        return nullptr;
    }
}

void TForm1::findClick() { findbar->openFind(); }

void TForm1::replaceClick() { findbar->openReplace(); }

void TForm1::findNextClick() { findbar->findNext(); }

void TForm1::findPreviousClick() { findbar->findPrevious(); }

void TForm1::goToLineClick()
{
    TextPane *pane = frontPane();
    auto *dialog = new QInputDialog(this);
    dialog->setObjectName(QStringLiteral("gotoline"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Go to line"));
    const int lines = pane->document()->blockCount();
    dialog->setLabelText(QStringLiteral("Line number (1 to %1):").arg(lines));
    dialog->setInputMode(QInputDialog::IntInput);
    dialog->setIntRange(1, lines);
    dialog->setIntValue(pane->textCursor().blockNumber() + 1);
    connect(dialog, &QInputDialog::intValueSelected, this, [this, pane](int line) { GoToLine(pane, line); });
    dialog->open();
}

void TForm1::GoToLine(TextPane *pane, int line)
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
