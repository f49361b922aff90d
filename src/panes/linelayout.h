#pragma once

#include <QPlainTextDocumentLayout>

namespace vardo {

// The plain text layout, told of a change confined to one line as of that line alone. Qt's own
// takes a change of n characters replaced by n as reaching 2n characters on, into the next line,
// and then lays out and repaints the whole view; colouring a line makes such a change, and so
// did every key typed after it.
class LineLayout : public QPlainTextDocumentLayout {
    Q_OBJECT

public:
    explicit LineLayout(QTextDocument *document);

protected:
    void documentChanged(int from, int removed, int added) override;

private:
    int blockCount_;
};

// A new, empty document laid out by a LineLayout, for `pane`, which shows it from now on.
QTextDocument *lineLaidOutDocument(QPlainTextEdit *pane);

} // namespace vardo
