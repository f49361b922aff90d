#include "find/textsnapshot.h"

#include <QTextCursor>
#include <QTextDocument>

namespace vardo {

const QString &TextSnapshot::textOf(QTextDocument *document)
{
    if (document != document_) {
        release();
        document_ = document;
        watching_ = connect(document, &QTextDocument::contentsChange, this, &TextSnapshot::noteChange);
    }
    const qsizetype length = document->characterCount() - 1;
    if (valid_ && dirty_) {
        QTextCursor changed(document);
        changed.setPosition(static_cast<int>(dirtyBegin_));
        changed.setPosition(static_cast<int>(dirtyEnd_ + delta_), QTextCursor::KeepAnchor);
        text_.replace(dirtyBegin_, dirtyEnd_ - dirtyBegin_, changed.selectedText());
        dirty_ = false;
    }
    if (!valid_ || text_.size() != length) {
        text_ = document->toRawText();
        valid_ = true;
    }
    return text_;
}

void TextSnapshot::release()
{
    disconnect(watching_);
    document_ = nullptr;
    text_ = QString();
    valid_ = dirty_ = false;
}

void TextSnapshot::noteChange(int from, int removed, int added)
{
    if (!valid_)
        return;
    if (!dirty_) {
        dirtyBegin_ = dirtyEnd_ = from;
        delta_ = 0;
        dirty_ = true;
    }
    // Both stretches in the document's positions before this change; the unchanged tail starts
    // after the later of them.
    const qsizetype end = std::max(dirtyEnd_ + delta_, qsizetype(from) + removed);
    dirtyBegin_ = std::min(dirtyBegin_, qsizetype(from));
    delta_ += added - removed;
    dirtyEnd_ = end - (delta_ - (added - removed));
    if (dirtyEnd_ > text_.size() || dirtyEnd_ < dirtyBegin_ || dirtyEnd_ + delta_ < dirtyBegin_)
        valid_ = dirty_ = false;
}

} // namespace vardo
