#pragma once

#include <QPlainTextDocumentLayout>
#include <QTextCursor>
#include <array>

class QPlainTextEdit;

namespace vardo {

// The plain text layout, told of a change confined to one line as a change of that line alone,
// which it lays out once and has repainted alone unless its height changed. The toolkit's own
// takes n characters replaced by n as reaching 2n characters on, into the lines below, and then
// lays out and repaints the whole view; giving a line its colours is such a change. It also
// measures a line before laying it out again, which lays out twice a line whose new colours
// dropped its layout.
// The line typed on keeps its shaped text, as do the lines above and below it: each key lays
// the line out, measures it for the caret and paints it, and the paint reaches a pixel into
// its neighbours. A line shaped again for each of these costs more than the bare pane's key.
class LineLayout : public QPlainTextDocumentLayout {
    Q_OBJECT

public:
    explicit LineLayout(QTextDocument *document);

protected:
    void documentChanged(int from, int removed, int added) override;

private:
    void layOutAgain(const QTextBlock &block);
    void keepShapesAround(const QTextBlock &block);
    void dropShapes(const QTextBlock &block);

    int blockCount_;
    // At the starts of the lines that keep their shapes, the line typed on in the middle; they
    // follow the edits, so that a line that moved still lets go of its shapes.
    std::array<QTextCursor, 3> shapesKept_;
};

// Gives `pane` a new, empty document laid out by a LineLayout, set up as the pane's own
// document was; returns it.
QTextDocument *lineLaidOutDocument(QPlainTextEdit *pane);

} // namespace vardo
