#pragma once

#include "doc/document.h"

#include <QHash>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <functional>
#include <memory>
#include <string>

class QTimer;

namespace vardo {

class LineNumberArea;

// A plain-text pane: the editor, the preview, the general pane and the help memos.
// Positions count every line end as two characters (CR LF), as in the saved file.
class TextPane : public QPlainTextEdit {
    Q_OBJECT

public:
    // A rich edit and a memo differ only in the message of a failed write.
    enum class Kind { RichEdit, Memo };
    enum class Border { None, Single };
    // Who put marks among the extra selections; the marks are drawn in this order, the later
    // over the earlier.
    enum class MarkOwner { Problems, Find, Brackets };
    // A mark whose format holds a colour under this property also shows in the line-number
    // gutter beside its line.
    static constexpr int kGutterColour = QTextFormat::UserProperty + 17;
    struct Caret {
        int line = 0;
        int column = 0;
    };

    // The largest file a pane takes.
    static constexpr std::size_t kCapacity = Document::kCapacity;
    // The shortest text (in characters) a hidden pane sets aside, when it may.
    static constexpr std::size_t kSetAsideFrom = 1u << 20;

    TextPane(Kind kind, QWidget *parent = nullptr);

    // The file the pane shows and its state; the pane is a view of it.
    Document *doc() const { return doc_; }

    // Reads a file as a load does, changing nothing; throws LoadFailure, or LoadCancelled when
    // Esc ended a long read. A long read keeps the window painting.
    FileText readForLoad(const std::string &path);
    // Replaces the text with a file read by readForLoad. A long fill keeps the window painting;
    // Esc cancels it (LoadCancelled) and leaves the pane as it was, and the rest of that click
    // or double click does not load the file again.
    void applyFile(const std::string &path, const FileText &file);
    void loadFromFile(const std::string &path);
    // Loads the document's file again, keeping the caret's line and column and the view where
    // they were.
    void reload();
    // Replaces the text with bytes, converting line ends and cutting long lines as a load does.
    void setBytes(const std::string &bytes);
    // What the notice above the text says while the document is read-only; empty otherwise.
    QString notice() const;
    QString wholeText() const { return doc_->wholeText(); }
    // The length of the whole text, line ends counted as two.
    long long textLength() const { return doc_->textLength(); }
    int lineCount() const;
    QString line(int index) const;
    Caret caretPosition() const;
    long long findText(const QString &what, long long start, long long length,
                       text::FindOptions options = {}) const;
    void setSelStart(long long position);
    void setSelLength(long long count);
    // Scrolls so that the caret's line lies wholly in view, in the upper third of the pane, as
    // a jump to a place should leave it.
    void placeCaretInUpperThird();
    void focus();
    void setBorder(Border border);
    Border border() const { return border_; }
    // Hides the selection while the pane does not have the focus.
    void setHideSelection(bool hide);
    // The first line the view shows, wholly or in part.
    QTextBlock firstLineInView() const { return firstVisibleBlock(); }
    // A gutter of line numbers left of the text; a click on a number selects its line.
    void setLineNumbersShown(bool shown);
    bool lineNumbersShown() const { return gutter_ != nullptr; }
    // The width the line numbers take; 0 without them.
    int gutterWidth() const;
    // A faint background behind the caret's line, under every mark.
    void setCurrentLineShown(bool shown);
    bool currentLineShown() const { return currentLineShown_; }
    // While hidden, a pane given this lets go of the buffer of a large file it shows as read
    // whenever `wanted` says so, and fills it again when shown: the preview, behind an editor
    // that holds the same file.
    void setSetsAsideWhenHidden(std::function<bool()> wanted) { setsAsideWhenHidden_ = std::move(wanted); }
    // The text is set aside: the buffer is empty until the pane is shown again.
    bool textSetAside() const { return setAside_; }
    // Replaces the marks of one owner, keeping everyone else's.
    void setMarks(MarkOwner owner, QList<QTextEdit::ExtraSelection> marks);
    // The tooltips of the marks over a position of the document, one a line; empty for none.
    QString markToolTipAt(int position) const;

signals:
    // The text moved to a new buffer (document()): whoever watched the old one turns to it.
    void bufferReplaced();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    friend class LineNumberArea;

    long long documentPosition(long long panePosition) const;
    long long panePosition(int documentPosition) const;
    // Follows the document's read-only state: not editable, with a notice above the text.
    void showReadOnlyState();
    void apply(const std::string &path, const FileText &file, LoadProgress &progress);
    void learnColours(const std::shared_ptr<const ShownLines> &shown);
    // Where the caret and the view are, to be put back after the text is filled again.
    struct Place {
        Caret caret;
        int top = 0;
        int left = 0;
    };
    Place place() const;
    void putBack(const Place &place);
    void setTextAside();
    void bringBackText();
    // Runs a fill of `lines` lines with the view's width kept as the whole text will have it.
    void keepingWidth(std::size_t lines, const std::function<void()> &fill);
    // The caret at the start and the view at the top, as after a load.
    void showStart();
    // The margins around the view: the line numbers on the left, the notice on top.
    void placeMargins();
    void paintLineNumbers(QPaintEvent *event);
    // Visits the lines shown from the first in view down to `bottom`, each with the top and
    // bottom of its place in the view, until `visit` returns false.
    void forLinesInView(int bottom, const std::function<bool(const QTextBlock &, qreal top, qreal bottom)> &visit) const;
    // The colours of the lines with gutter marks, by line from 0.
    QHash<int, QColor> gutterMarks() const;
    void selectLineAt(int y);
    // A line as shown: a line of the text, and a line of its wrapped rows.
    struct ShownLine {
        int block = -1;
        int line = 0;
        bool operator==(const ShownLine &) const = default;
    };
    ShownLine caretLine() const;
    // Where a shown line lies in the view; empty when it is not laid out.
    QRectF placeOf(const ShownLine &shown) const;
    void followCurrentLine();
    void paintCurrentLine(const QRect &painted);
    QColor currentLineColour();

    Kind kind_;
    Document *doc_;
    Border border_ = Border::None;
    bool shownReadOnly_ = false;
    bool ownReadOnly_ = false;
    QLabel *notice_ = nullptr;
    int layoutWidth_ = 0;
    LineNumberArea *gutter_ = nullptr;
    // While a fill runs: the line count the gutter is sized for.
    std::size_t fillLines_ = 0;
    bool currentLineShown_ = false;
    // The caret's line as last painted or updated.
    ShownLine currentLine_;
    // The colour of the caret's line over a background, for a highlight colour.
    struct {
        QColor background, highlight, shown;
    } currentLineOver_;
    std::function<bool()> setsAsideWhenHidden_;
    // The text of a large file while the pane may set it aside; whether it is set aside, and
    // where the pane stood then.
    std::shared_ptr<const ShownLines> keptText_;
    bool setAside_ = false;
    Place placeAside_;
    QTimer *bringingBack_ = nullptr;
};

// Drops the characters the code page cannot hold and makes every line end a single '\n'.
QString acceptedInput(const QString &text);

} // namespace vardo
