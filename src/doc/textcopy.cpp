#include "doc/textcopy.h"

#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace vardo {

TextCopy::TextCopy(QTextDocument *document, QObject *parent) : QObject(parent), document_(document)
{
    next_.setSingleShot(true);
    next_.setInterval(0);
    connect(&next_, &QTimer::timeout, this, &TextCopy::copySlice);
    connect(document, &QTextDocument::contentsChange, this, [this] {
        if (isRunning())
            restart();
    });
}

void TextCopy::start(std::function<void(QString)> done)
{
    done_ = std::move(done);
    restart();
    // A text of one slice is copied before this returns.
    if (document_ && document_->characterCount() - 1 <= kSlice) {
        next_.stop();
        copySlice();
    }
}

void TextCopy::cancel()
{
    next_.stop();
    done_ = nullptr;
    text_ = QString();
}

void TextCopy::restart()
{
    text_ = QString();
    copied_ = 0;
    next_.start();
}

void TextCopy::copySlice()
{
    if (!document_ || !done_)
        return cancel();
    const int length = document_->characterCount() - 1;
    if (copied_ == 0)
        text_.reserve(length);
    if (copied_ < length) {
        QTextCursor cursor(document_);
        cursor.setPosition(copied_);
        copied_ = std::min(length, copied_ + kSlice);
        cursor.setPosition(copied_, QTextCursor::KeepAnchor);
        text_ += cursor.selectedText();
    }
    if (copied_ < length)
        return next_.start();
    const auto done = std::exchange(done_, nullptr);
    done(std::exchange(text_, QString()));
}

} // namespace vardo
