#pragma once

#include "core/base/errors.h"
#include "core/files/fileio.h"
#include "core/text/textmodel.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <string>

class QTextDocument;

namespace vardo {

// A failed load or save: the message, and the system's words for the cause.
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

// A save refused because the document does not hold the file as its bytes are.
class ShownReadOnlyError : public AppError {
public:
    using AppError::AppError;
};

// Another program saved the file while the document was being saved: both versions are kept,
// the file as that program left it, the text unsaved.
class SaveRaced : public AppError {
public:
    using AppError::AppError;
};

// The user pressed Esc during a long load; everything stays as it was before the load.
class LoadCancelled : public AppError {
public:
    LoadCancelled() : AppError("The load was cancelled") {}
};

// Told how far a long read or fill has come; it may end the load by throwing LoadCancelled.
class LoadProgress {
public:
    virtual ~LoadProgress() = default;
    // How much is done, from 0 to 1.
    virtual void step(double done) = 0;
    // From here on the load is being undone or finished and can no longer be cancelled.
    virtual void stopCancelling() = 0;
};

// A file's text as a document holds it: lines ('\n' between them) cut where they are too
// long to lay out, how the file's lines ended, and whether it holds NUL bytes.
struct ShownLines {
    std::u16string lines;
    bool cut = false;
    bool nul = false;
    text::FileLineEnds ends;
    std::size_t lineCount = 1;
};

// A file read for a document, before anything in the document changes, and the version it
// came from.
struct FileText {
    std::shared_ptr<const ShownLines> shown;
    std::optional<fileio::FileIdentity> identity;
};

// What a save of a document's text to its file must do, given what happened to the file.
enum class SavePlan {
    Write,
    // Nothing to write: the text holds no edits and its file was removed.
    NotNeeded,
    // The text holds no edits and another program saved the file since: its version stands.
    DiskIsNewer,
    // The text holds edits and another program saved the file since: only the user may choose
    // to overwrite that save.
    AskToOverwrite,
};

// A save's plan and the version of the file it was made about: the only one it may replace.
struct SaveDecision {
    SavePlan plan;
    std::optional<fileio::FileIdentity> onDisk;
};

// One open file: its text (the buffer its views show), its path, which version of the file it
// holds, how the file is encoded and how its lines end, why it may not be written back, and
// whether its text was changed since it was read or written. Reading, filling the buffer and
// saving go through it, as does the rule for saves over another program's changes.
class Document : public QObject {
    Q_OBJECT

public:
    // Why the text may not be written back to its file: lines too long to lay out were cut, or
    // the file lies outside the project and was opened by a jump (a diagnostic, a reference, a
    // definition), not chosen for editing.
    enum class ReadOnlyReason { None, LinesCut, NulBytes, OutsideProject };
    enum class Encoding { Windows1252 };

    // The largest file a document takes: at about ten bytes of memory for each byte of text
    // while it loads, larger files would not fit a desktop's memory beside everything else.
    static constexpr std::size_t kCapacity = 128u << 20;

    // A document of the text in `buffer`, which it fills and reads. A failed write is reported
    // with `writeFailure` as its message.
    Document(QTextDocument *buffer, std::string writeFailure, QObject *parent = nullptr);

    QTextDocument *buffer() const { return buffer_; }
    // The file behind the text; empty when there is none.
    const std::string &path() const { return path_; }
    const std::optional<fileio::FileIdentity> &diskVersion() const { return diskVersion_; }
    Encoding encoding() const { return Encoding::Windows1252; }
    text::LineEnds lineEnds() const { return lineEnds_; }
    // What new lines end with when the text is written.
    text::LineEnd newLineEnd() const { return newLineEnd_; }
    ReadOnlyReason readOnlyReason() const { return readOnlyReason_; }
    bool isReadOnly() const { return readOnlyReason_ != ReadOnlyReason::None; }
    // Whether the text differs from what was last read or written; undoing back to it counts
    // as unchanged.
    bool isChanged() const;
    // A load is filling the text: its changes are not the user's.
    bool isFilling() const { return filling_; }
    // How the file differs from the version the document last read or wrote.
    fileio::DiskChange diskChange() const;
    SaveDecision decideSave() const;

    // With this, a document given the text it already holds keeps it, and its views their
    // caret: the general pane clicked again on its own file.
    void setKeepsSameText(bool keeps) { keepsSameText_ = keeps; }
    // Whether a text this document loads is kept a moment for the double click that may follow:
    // the open that follows the preview of its first press reads it again for nothing. A
    // document that does not lend ends the double click whose text it takes.
    void setLendsLoadToDoubleClick(bool lends) { lendsLoadToDoubleClick_ = lends; }

    // Reads a file, changing nothing; throws LoadFailure, or LoadCancelled when `progress`
    // ends it. A file just read for another document (the preview of a double click) is not
    // read again while it is unchanged.
    static FileText read(const std::string &path, LoadProgress &progress);
    // Replaces the text with a file read by read(): the document then belongs to that file,
    // unchanged. A long fill serves `progress` between slices; cancelled, the text stays as it
    // was. Returns whether its views start at the top again.
    bool apply(const std::string &path, const FileText &file, LoadProgress &progress);
    // Keeps the file of a jump outside the project from being written; undone by the next load.
    void markOutsideProject();
    // Replaces the text with bytes that come from no file, decoded and cut as a read does.
    void setBytes(const std::string &bytes);
    // Writes the text to its file over the version a decision was made about; the document is
    // then unchanged and remembers the version it wrote. Throws ShownReadOnlyError for a
    // read-only document, SaveFailure when the write fails, SaveRaced when the file is no
    // longer that version.
    void save(const SaveDecision &decision);
    // The same to another file, which the document then belongs to.
    void saveAs(const std::string &path);

    // Whether the buffer holds `loaded`, the text of its last load, unchanged and whole, so
    // that it may be set aside.
    bool canSetAside(const std::shared_ptr<const ShownLines> &loaded) const;
    // Takes `empty` as its buffer in place of one that canSetAside the text the caller keeps
    // (the old buffer is the caller's to let go), so that a hidden view of a large file costs
    // only that text; the file, its version and its shape stay.
    void setAside(QTextDocument *empty);
    // Fills the buffer again with the text set aside, unchanged; a long fill serves `progress`.
    // Cancelled, the buffer stays empty.
    void bringBack(const std::shared_ptr<const ShownLines> &loaded, LoadProgress &progress);

    // The text of the last load while the buffer holds it unchanged and something still keeps
    // it (the load's caller, or the memory of it for a double click); null otherwise. Work
    // that needs the whole text takes it from here rather than copying it out of the buffer.
    std::shared_ptr<const ShownLines> loadedText() const;
    // The whole text with CR LF line ends.
    QString wholeText() const;
    // The bytes a save writes: every line with the end it had in the file, new lines with the
    // file's most common end.
    std::string fileBytes() const;
    // The length of the whole text, line ends counted as two.
    long long textLength() const;

signals:
    // The text was replaced by a load or by bytes: path and read-only reason may be new.
    void replaced();

private:
    void write(const std::string &path, const fileio::ReplaceOnly *only);
    void fill(std::u16string_view lines, LoadProgress &progress);
    void takeShape(const ShownLines &shown);
    void keepEachLineEnd(const std::vector<text::LineEnd> &ends);

    QTextDocument *buffer_;
    std::string writeFailure_;
    std::string path_;
    std::optional<fileio::FileIdentity> diskVersion_;
    text::LineEnds lineEnds_ = text::LineEnds::None;
    text::LineEnd newLineEnd_ = text::LineEnd::Lf;
    ReadOnlyReason readOnlyReason_ = ReadOnlyReason::None;
    bool keepsSameText_ = false;
    bool lendsLoadToDoubleClick_ = true;
    bool filling_ = false;
    // The text of the last load, while another document may still share it, and the buffer's
    // revision once it held it.
    std::weak_ptr<const ShownLines> lastLoad_;
    int loadedRevision_ = -1;
};

} // namespace vardo
