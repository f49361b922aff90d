#include "panes/linelayout.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <algorithm>

namespace vardo {

LineLayout::LineLayout(QTextDocument *document)
    : QPlainTextDocumentLayout(document), blockCount_(document->blockCount())
{
}

void LineLayout::documentChanged(int from, int removed, int added)
{
    const int count = document()->blockCount();
    const int last = from + std::max(added, 1) - 1;
    // With the line count kept, text that went in within one line can only have replaced text
    // of that line.
    if (count == blockCount_ && document()->findBlock(from) == document()->findBlock(last))
        QPlainTextDocumentLayout::documentChanged(from, 0, last - from + 1);
    else
        QPlainTextDocumentLayout::documentChanged(from, removed, added);
    blockCount_ = count;
}

QTextDocument *lineLaidOutDocument(QPlainTextEdit *pane)
{
    auto *document = new QTextDocument(pane);
    QAbstractTextDocumentLayout *layout = new LineLayout(document);
    document->setDocumentLayout(layout);
    // Set up as the pane's own document: measured on the view it is drawn on, in the pane's
    // face, and laid out at no width until the pane is first sized. The pane lays out a
    // document it is given at once, at its view's width of the moment: a view of no width
    // leaves it at none.
    layout->setPaintDevice(pane->viewport());
    document->setDefaultFont(pane->font());
    const QSize view = pane->viewport()->size();
    pane->viewport()->resize(0, view.height());
    pane->setDocument(document);
    pane->viewport()->resize(view);
    return document;
}

} // namespace vardo
