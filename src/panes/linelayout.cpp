#include "panes/linelayout.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>

namespace vardo {

LineLayout::LineLayout(QTextDocument *document)
    : QPlainTextDocumentLayout(document), blockCount_(document->blockCount())
{
}

void LineLayout::documentChanged(int from, int removed, int added)
{
    const int count = document()->blockCount();
    const bool linesKept = count == blockCount_;
    blockCount_ = count;
    const QTextBlock block = document()->findBlock(from);
    // With the line count kept, text that went in within one line can only have replaced text
    // of that line.
    if (linesKept && block.isVisible() && block.lineCount() > 0 &&
        block == document()->findBlock(from + std::max(added, 1) - 1))
        layOutAgain(block);
    else
        QPlainTextDocumentLayout::documentChanged(from, removed, added);
}

void LineLayout::layOutAgain(const QTextBlock &block)
{
    QTextLayout *lines = block.layout();
    const qreal height = lines->lineCount() > 0 ? blockBoundingRect(block).height() : -1;
    const int count = block.lineCount();
    lines->clearLayout();
    const qreal newHeight = blockBoundingRect(block).height();
    // Without its old layout, a line keeps its height with its count of lines: its formats
    // give it colours only.
    if (height >= 0 ? newHeight == height : block.lineCount() == count)
        emit updateBlock(block);
    else
        requestUpdate();
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
