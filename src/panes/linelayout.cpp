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
    document->setDocumentLayout(new LineLayout(document));
    pane->setDocument(document);
    return document;
}

} // namespace vardo
