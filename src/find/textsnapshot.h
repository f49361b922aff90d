#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QTextDocument;

namespace vardo {

// A copy of a document's text (a block end is U+2029, positions are the document's), kept for
// repeated searches. A large file is copied once: later changes are gathered as one changed
// stretch and patched in when the text is next asked for, so typing costs nothing here.
class TextSnapshot : public QObject {
    Q_OBJECT

public:
    explicit TextSnapshot(QObject *parent = nullptr) : QObject(parent) {}

    const QString &textOf(QTextDocument *document);
    // Lets the copy go.
    void release();

private:
    void noteChange(int from, int removed, int added);

    QPointer<QTextDocument> document_;
    QMetaObject::Connection watching_;
    QString text_;
    bool valid_ = false;
    // The copy equals the document before `dirtyBegin_` and from `dirtyEnd_` on, where the
    // document runs `delta_` characters longer.
    qsizetype dirtyBegin_ = 0, dirtyEnd_ = 0, delta_ = 0;
    bool dirty_ = false;
};

} // namespace vardo
