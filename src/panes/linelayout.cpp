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
        block == document()->findBlock(from + std::max(added, 1) - 1)) {
        keepShapesAround(block);
        layOutAgain(block);
    } else {
        QPlainTextDocumentLayout::documentChanged(from, removed, added);
    }
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

void LineLayout::keepShapesAround(const QTextBlock &block)
{
    if (!shapesKept_[1].isNull() && shapesKept_[1].block() == block)
        return;
    const std::array<QTextBlock, 3> lines{block.previous(), block, block.next()};
    for (QTextCursor &kept : shapesKept_)
        if (!kept.isNull() && std::ranges::find(lines, kept.block()) == lines.end())
            dropShapes(kept.block());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        shapesKept_[i] = lines[i].isValid() ? QTextCursor(lines[i]) : QTextCursor();
        if (lines[i].isValid())
            lines[i].layout()->setCacheEnabled(true);
    }
}

void LineLayout::dropShapes(const QTextBlock &block)
{
    QTextLayout *lines = block.layout();
    if (!lines->cacheEnabled())
        return;
    lines->setCacheEnabled(false);
    // Laid out again without the cache, the line lets go of its shapes.
    if (lines->lineCount() > 0) {
        lines->clearLayout();
        blockBoundingRect(block);
    }
}

QTextDocument *lineLaidOutDocument(QPlainTextEdit *pane)
{
    auto *document = new QTextDocument(pane);
    QAbstractTextDocumentLayout *layout = new LineLayout(document);
    document->setDocumentLayout(layout);
    // Set up as the pane's own document: with its text option (which holds the tab stops) and
    // margin, measured on the view it is drawn on, in the pane's face, and laid out at no width
    // until the pane is first sized. The pane lays out a document it is given at once, at its
    // view's width of the moment: a view of no width leaves it at none.
    document->setDefaultTextOption(pane->document()->defaultTextOption());
    document->setDocumentMargin(pane->document()->documentMargin());
    layout->setPaintDevice(pane->viewport());
    document->setDefaultFont(pane->font());
    const QSize view = pane->viewport()->size();
    pane->viewport()->resize(0, view.height());
    pane->setDocument(document);
    pane->viewport()->resize(view);
    return document;
}

} // namespace vardo
