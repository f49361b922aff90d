#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>

class QTextDocument;

namespace vardo {

// A copy of a document's raw text (U+2029 between its blocks), taken a slice at a time between
// turns of the event loop: reading a large document's text in one go holds up the window for
// seconds. A change to the document while it is being copied starts the copy again.
class TextCopy : public QObject {
    Q_OBJECT

public:
    // Characters copied in one turn.
    static constexpr int kSlice = 512 * 1024;

    explicit TextCopy(QTextDocument *document, QObject *parent = nullptr);

    // Starts a copy in place of any under way; `done` is given the text when it is whole, at
    // once when the text fits a single slice.
    void start(std::function<void(QString)> done);
    void cancel();
    bool isRunning() const { return static_cast<bool>(done_); }

private:
    void copySlice();
    void restart();

    QPointer<QTextDocument> document_;
    std::function<void(QString)> done_;
    QString text_;
    int copied_ = 0;
    QTimer next_;
};

} // namespace vardo
