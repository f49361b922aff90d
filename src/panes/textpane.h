#pragma once

#include "core/base/errors.h"
#include "core/files/fileio.h"
#include "core/text/textmodel.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vardo {

class BusyLoad;

// A failed load or save: the pane's message, and the system's words for the cause.
class FileFailure : public AppError {
public:
    FileFailure(const std::string &message, std::string reason)
        : AppError(message), reason_(std::move(reason))
    {
    }
    const std::string &reason() const { return reason_; }

private:
    std::string reason_;
};

class SaveFailure : public FileFailure {
public:
    using FileFailure::FileFailure;
};

class LoadFailure : public FileFailure {
public:
    using FileFailure::FileFailure;
};

// A save refused because the pane does not show the file as its bytes are.
class ShownReadOnlyError : public AppError {
public:
    using AppError::AppError;
};

// A plain-text pane: the editor, the preview, the general pane and the help memos.
// Positions count every line end as two characters (CR LF), as in the saved file.
class TextPane : public QPlainTextEdit {
    Q_OBJECT

public:
    // A rich edit and a memo differ only in the message of a failed write.
    enum class Kind { RichEdit, Memo };
    enum class Border { None, Single };
    struct Caret {
        int line = 0;
        int column = 0;
    };

    // The largest file a pane takes: at about ten bytes of memory for each byte of text while
    // it loads, larger files would not fit a desktop's memory beside everything else.
    static constexpr std::size_t kCapacity = 128u << 20;

    TextPane(Kind kind, QWidget *parent = nullptr);

    // A file's text as a pane shows it: lines cut where they are too long to lay out.
    struct ShownLines {
        std::u16string lines;
        bool cut = false;
    };
    // A file read for a pane, before anything in the pane changes, and the version it came from.
    struct PaneFile {
        std::shared_ptr<const ShownLines> shown;
        std::optional<fileio::FileIdentity> identity;
    };

    // Reads a file as a load does, changing nothing; throws LoadFailure, or LoadCancelled when
    // Esc ended a long read. A long read keeps the window painting. A file just read for
    // another pane (the preview of a double click) is not read again while it is unchanged.
    PaneFile readForLoad(const std::string &path);
    // Replaces the text with a file read by readForLoad. The pane is then unchanged and
    // remembers which version of the file it holds. A long fill keeps the window painting; Esc
    // cancels it (LoadCancelled) and leaves the pane as it was, and the rest of that click or
    // double click does not load the file again.
    void applyFile(const std::string &path, const PaneFile &file);
    void loadFromFile(const std::string &path);
    // Loads the file again, keeping the caret's line and column and the view where they were.
    void reloadFromFile(const std::string &path);
    // Replaces the text with a file's bytes, converting line ends and cutting long lines as a
    // load does.
    void setBytes(const std::string &bytes, const std::string &path = {});
    // Writes the text; the pane is then unchanged and remembers the version it wrote. Throws
    // ShownReadOnlyError when the pane shows its file with lines cut.
    void saveToFile(const std::string &path);
    // Whether the text differs from what was last loaded or written; undoing back to it
    // counts as unchanged.
    bool isChanged() const;
    // How the file at a path differs from the version this pane last loaded or wrote.
    fileio::DiskChange diskChangeOf(const std::string &path) const;
    // Whether the text was loaded with lines cut, so that it is read-only, says so in a notice
    // above the text and is never written back.
    bool isShownReadOnly() const { return shownReadOnly_; }
    QString notice() const;
    QString wholeText() const;
    // The length of the whole text, line ends counted as two.
    long long textLength() const;
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

    // Event hooks, run before the pane handles the key (key down) or after the mouse acted.
    std::function<void()> onKeyDown, onKeyPress, onMouseDown, onMouseUp, onEnter, onExit;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    long long documentPosition(long long panePosition) const;
    long long panePosition(int documentPosition) const;
    void replaceText(const QString &text);
    // Decodes a file's bytes into the text the pane shows, and marks the pane read-only when
    // that differs from the bytes.
    QString shownText(const std::string &bytes, const std::string &path);
    void setShownReadOnly(bool shown, const std::string &path);
    PaneFile read(const std::string &path, BusyLoad &busy);
    void apply(const std::string &path, const PaneFile &file, BusyLoad &busy);
    // Replaces the text a slice at a time, serving `busy` between slices; cancelled, the
    // pane keeps its text, caret and view.
    void fillDocument(std::u16string_view lines, BusyLoad &busy);
    // The caret at the start and the view at the top, as after a load.
    void showStart();

    Kind kind_;
    Border border_ = Border::None;
    bool shownReadOnly_ = false;
    bool ownReadOnly_ = false;
    QLabel *notice_ = nullptr;
    int layoutWidth_ = 0;
    // The text of the last load, while another pane may still share it.
    std::weak_ptr<const ShownLines> lastLoad_;
    std::optional<fileio::FileIdentity> diskVersion_;
};

// Whether a key press produces a character in a text pane (Backspace, Enter, Tab and control
// combinations included; arrows, Delete and function keys not).
bool producesCharacter(const QKeyEvent &event);

// Drops the characters the code page cannot hold and makes every line end a single '\n'.
QString acceptedInput(const QString &text);

} // namespace vardo
