#include "doc/document.h"

#include "doc/qtext.h"

#include <QGuiApplication>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextBlockUserData>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <cerrno>
#include <cstring>

namespace vardo {

namespace {

// The end a line had in a file that mixes them; lines without one are new and take the
// file's most common end.
class LineEndData : public QTextBlockUserData {
public:
    explicit LineEndData(text::LineEnd end) : end(end) {}
    const text::LineEnd end;
};

std::size_t countLines(std::u16string_view lines)
{
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), u'\n')) + 1;
}

// Takes the decoded lines of a file whose line ends, line count and NUL bytes are known.
ShownLines shownLinesOf(std::u16string lines, std::size_t longestLine, std::size_t lineCount, text::FileLineEnds ends,
                        bool nul)
{
    ShownLines shown;
    shown.ends = std::move(ends);
    shown.nul = nul;
    shown.lines = std::move(lines);
    shown.cut = longestLine > text::kLongLineLimit && text::cutLongLines(shown.lines);
    shown.lineCount = shown.cut ? countLines(shown.lines) : lineCount;
    return shown;
}

// Bytes decoded and characters added to the buffer between two steps of a long load: each
// takes a few tens of milliseconds.
constexpr std::size_t kDecodeSlice = 1u << 20;
constexpr std::size_t kFillSlice = 256u << 10;
// The shares of a load's time taken by the read and by the decoding, as measured.
constexpr double kReadShare = 0.05;
constexpr double kDecodeShare = 0.05;

// The file read last, kept for the double click that follows the preview of its first press.
struct RecentRead {
    std::string path;
    fileio::FileIdentity version;
    std::shared_ptr<const ShownLines> shown;
};

std::optional<RecentRead> &recentRead()
{
    static std::optional<RecentRead> recent;
    return recent;
}

void keepForDoubleClick(const std::string &path, const std::optional<fileio::FileIdentity> &version,
                        std::shared_ptr<const ShownLines> shown)
{
    if (!version)
        return;
    recentRead() = RecentRead{path, *version, std::move(shown)};
    static QTimer *expiry = nullptr;
    if (!expiry) {
        expiry = new QTimer(qApp);
        expiry->setSingleShot(true);
        QObject::connect(expiry, &QTimer::timeout, [] { recentRead().reset(); });
    }
    expiry->start(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 250);
}

std::shared_ptr<const ShownLines> takeRecentRead(const std::string &path,
                                                 const std::optional<fileio::FileIdentity> &version)
{
    std::optional<RecentRead> &recent = recentRead();
    if (!recent || !version || recent->path != path || !(recent->version == *version))
        return nullptr;
    return recent->shown;
}

// Decodes in slices, never between the CR and the LF of one line end, learning the file's line
// ends and NUL bytes and measuring the longest line on the way.
ShownLines decodeInSlices(const std::string &bytes, LoadProgress &progress)
{
    std::u16string lines;
    lines.reserve(bytes.size());
    text::LineEndTally ends;
    bool nul = false;
    std::size_t run = 0, longestLine = 0, lineCount = 1;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = std::min(bytes.size(), start + kDecodeSlice);
        if (end < bytes.size() && bytes[end - 1] == '\r' && bytes[end] == '\n')
            ++end;
        const std::string_view slice = std::string_view(bytes).substr(start, end - start);
        ends.add(slice);
        nul = nul || slice.find('\0') != std::string_view::npos;
        const std::size_t from = lines.size();
        lines += text::decodeLines(slice);
        for (std::size_t i = from; i < lines.size(); ++i) {
            if (lines[i] == u'\n') {
                run = 0;
                ++lineCount;
            } else {
                longestLine = std::max(longestLine, ++run);
            }
        }
        start = end;
        progress.step(kReadShare + kDecodeShare * static_cast<double>(start) / static_cast<double>(bytes.size()));
    }
    return shownLinesOf(std::move(lines), longestLine, lineCount, ends.ends(), nul);
}

std::string readBytes(const std::string &path, LoadProgress &progress)
{
    try {
        return fileio::readWholeFile(path, Document::kCapacity, [&](std::size_t read, std::size_t size) {
            progress.step(kReadShare * static_cast<double>(read) / static_cast<double>(std::max(read, size)));
        });
    } catch (const LoadCancelled &) {
        throw;
    } catch (const fileio::TooLargeError &) {
        throw LoadFailure(path + " is larger than " + std::to_string(Document::kCapacity >> 20) +
                              " MiB, the largest file a pane holds",
                          std::strerror(EFBIG));
    } catch (const fileio::NotRegularFileError &error) {
        throw LoadFailure(path + " is not a regular file", error.reason());
    } catch (const fileio::OpenError &error) {
        throw LoadFailure("Cannot open file " + path, error.reason());
    } catch (const std::exception &error) {
        throw LoadFailure("Cannot open file " + path, error.what());
    }
}

std::shared_ptr<const ShownLines> readShownLines(const std::string &path, LoadProgress &progress)
{
    return std::make_shared<const ShownLines>(decodeInSlices(readBytes(path, progress), progress));
}

} // namespace

Document::Document(QTextDocument *buffer, std::string writeFailure, QObject *parent)
    : QObject(parent), buffer_(buffer), writeFailure_(std::move(writeFailure))
{
}

bool Document::isChanged() const
{
    return buffer_->isModified();
}

fileio::DiskChange Document::diskChange() const
{
    return fileio::diskChange(diskVersion_, fileio::identityOf(path_));
}

SaveDecision Document::decideSave() const
{
    const std::optional<fileio::FileIdentity> onDisk = fileio::identityOf(path_);
    const fileio::DiskChange change = fileio::diskChange(diskVersion_, onDisk);
    if (!isChanged() && change == fileio::DiskChange::Removed)
        return {SavePlan::NotNeeded, onDisk};
    if (change == fileio::DiskChange::Modified)
        return {isChanged() ? SavePlan::AskToOverwrite : SavePlan::DiskIsNewer, onDisk};
    return {SavePlan::Write, onDisk};
}

FileText Document::read(const std::string &path, LoadProgress &progress)
{
    FileText file;
    // Taken before the read, so that a write racing the read makes the file look changed later.
    file.identity = fileio::identityOf(path);
    file.shown = takeRecentRead(path, file.identity);
    if (!file.shown)
        file.shown = readShownLines(path, progress);
    return file;
}

bool Document::apply(const std::string &path, const FileText &file, LoadProgress &progress)
{
    const std::u16string_view lines = file.shown->lines;
    // The second preview of a click shows the same text again.
    const bool shownAlready = !lastLoad_.owner_before(file.shown) && !file.shown.owner_before(lastLoad_) &&
                              !lastLoad_.expired() && !buffer_->isModified();
    const auto holdsItAlready = [&] {
        return keepsSameText_ && QStringView(lines.data(), static_cast<qsizetype>(lines.size())) ==
                                     withLineFeeds(buffer_->toRawText());
    };
    bool startsAnew = true;
    if (shownAlready || holdsItAlready())
        startsAnew = !keepsSameText_;
    else
        fill(lines, progress);
    buffer_->setModified(false);
    lastLoad_ = file.shown;
    loadedRevision_ = buffer_->revision();
    path_ = path;
    diskVersion_ = file.identity;
    takeShape(*file.shown);
    if (lendsLoadToDoubleClick_)
        keepForDoubleClick(path, file.identity, file.shown);
    else if (recentRead() && recentRead()->shown == file.shown)
        recentRead().reset(); // the double click it was kept for is over
    emit replaced();
    return startsAnew;
}

bool Document::canSetAside(const std::shared_ptr<const ShownLines> &loaded) const
{
    return loaded && loadedText() == loaded && !filling_;
}

void Document::setAside(QTextDocument *empty)
{
    buffer_ = empty;
    lastLoad_.reset();
    loadedRevision_ = -1;
}

void Document::bringBack(const std::shared_ptr<const ShownLines> &loaded, LoadProgress &progress)
{
    fill(loaded->lines, progress);
    buffer_->setModified(false);
    lastLoad_ = loaded;
    loadedRevision_ = buffer_->revision();
    takeShape(*loaded);
}

void Document::setBytes(const std::string &bytes)
{
    std::u16string lines = text::decodeLines(bytes);
    const std::size_t lineCount = countLines(lines);
    const ShownLines shown = shownLinesOf(std::move(lines), text::kLongLineLimit + 1, lineCount,
                                          text::fileLineEnds(bytes), bytes.find('\0') != std::string::npos);
    // Set directly: the editor's own setPlainText costs a fifth more on a large file.
    buffer_->setPlainText(fromU16(shown.lines));
    buffer_->setModified(false);
    lastLoad_.reset();
    takeShape(shown);
    emit replaced();
}

void Document::markOutsideProject()
{
    if (readOnlyReason_ != ReadOnlyReason::None)
        return;
    readOnlyReason_ = ReadOnlyReason::OutsideProject;
    emit replaced();
}

void Document::takeShape(const ShownLines &shown)
{
    lineEnds_ = shown.ends.style;
    newLineEnd_ = shown.ends.common;
    readOnlyReason_ = shown.cut   ? ReadOnlyReason::LinesCut
                      : shown.nul ? ReadOnlyReason::NulBytes
                                  : ReadOnlyReason::None;
    if (lineEnds_ == text::LineEnds::Mixed && !shown.cut)
        keepEachLineEnd(shown.ends.each);
}

void Document::keepEachLineEnd(const std::vector<text::LineEnd> &ends)
{
    QTextBlock block = buffer_->begin();
    for (const text::LineEnd end : ends) {
        if (!block.isValid())
            break;
        block.setUserData(new LineEndData(end));
        block = block.next();
    }
}

std::string Document::fileBytes() const
{
    const std::string_view newEnd = text::bytesOf(newLineEnd_);
    if (lineEnds_ != text::LineEnds::Mixed)
        return text::encodeLines(u16view(buffer_->toRawText()), text::kParagraphSeparator, newEnd);
    std::string bytes;
    for (QTextBlock block = buffer_->begin(); block.isValid(); block = block.next()) {
        bytes += text::encodeCp1252(u16view(block.text()));
        if (block.next().isValid()) {
            const auto *kept = static_cast<const LineEndData *>(block.userData());
            bytes += kept ? text::bytesOf(kept->end) : newEnd;
        }
    }
    return bytes;
}

void Document::fill(std::u16string_view lines, LoadProgress &progress)
{
    filling_ = true;
    const struct Filled {
        bool &filling;
        ~Filled() { filling = false; }
    } filled{filling_};
    // The fill is recorded for undo while it runs, so that a cancelled one is taken back and the
    // text keeps its history; a finished one takes the history of the old text with it. With no
    // history to keep, the record (a few bytes for every line) is left out and a cancelled fill
    // is removed instead.
    const bool undoEnabled = buffer_->isUndoRedoEnabled();
    const bool undo = undoEnabled && (buffer_->availableUndoSteps() > 0 || buffer_->availableRedoSteps() > 0);
    buffer_->setUndoRedoEnabled(undo);
    const int stepsBefore = buffer_->availableUndoSteps();
    // The new text goes after the old one, which stays in view until the new one is whole.
    const int oldEnd = buffer_->characterCount() - 1;
    QTextCursor cursor(buffer_);
    // Each step is an edit block of its own: a cursor that edits outside one measures its line
    // afterwards, and the plain text layout answers a line that is no longer the widest by
    // measuring every line again, which gives each line a layout object it keeps.
    const auto inOneEdit = [&](const auto &edit) {
        cursor.beginEditBlock();
        edit();
        cursor.endEditBlock();
    };
    cursor.movePosition(QTextCursor::End);
    inOneEdit([&] { cursor.insertBlock(); });
    // Removes a range of the text a slice at a time, from its end.
    const auto removeRange = [&](int from, int to) {
        progress.stopCancelling();
        while (to > from) {
            const int start = std::max<long long>(from, to - static_cast<long long>(kFillSlice));
            cursor.setPosition(start);
            cursor.setPosition(to, QTextCursor::KeepAnchor);
            inOneEdit([&] { cursor.removeSelectedText(); });
            to = start;
            progress.step(1.0);
        }
    };
    try {
        for (std::size_t done = 0; done < lines.size();) {
            const std::size_t count = std::min(kFillSlice, lines.size() - done);
            inOneEdit([&] { cursor.insertText(fromU16(lines.substr(done, count))); });
            done += count;
            progress.step(kReadShare + kDecodeShare +
                          (1 - kReadShare - kDecodeShare) * static_cast<double>(done) /
                              static_cast<double>(lines.size()));
        }
    } catch (const LoadCancelled &) {
        if (!undo) {
            removeRange(oldEnd, buffer_->characterCount() - 1);
            buffer_->setUndoRedoEnabled(undoEnabled);
            throw;
        }
        progress.stopCancelling();
        while (buffer_->availableUndoSteps() > stepsBefore)
            buffer_->undo();
        buffer_->clearUndoRedoStacks(QTextDocument::RedoStack);
        throw;
    }
    // Without undo the removed text is not kept for it.
    buffer_->setUndoRedoEnabled(false);
    removeRange(0, oldEnd + 1);
    buffer_->setUndoRedoEnabled(undoEnabled);
}

void Document::save(const SaveDecision &decision)
{
    const fileio::ReplaceOnly only{decision.onDisk};
    try {
        write(path_, &only);
    } catch (const fileio::ChangedMeanwhileError &) {
        throw SaveRaced(path_ + " was saved by another program meanwhile");
    }
}

void Document::saveAs(const std::string &path)
{
    write(path, nullptr);
}

void Document::write(const std::string &path, const fileio::ReplaceOnly *only)
{
    if (isReadOnly())
        throw ShownReadOnlyError(path + " is shown read-only and was not saved");
    const std::string bytes = fileBytes();
    try {
        if (only)
            fileio::saveFileSafely(path, bytes, *only);
        else
            fileio::saveFileSafely(path, bytes);
    } catch (const fileio::SaveError &error) {
        if (error.kind() == fileio::SaveError::Kind::NotRegularFile)
            throw SaveFailure(path + " is not a regular file", error.reason());
        if (error.kind() == fileio::SaveError::Kind::CannotCreate)
            throw SaveFailure("Cannot create file " + path, error.reason());
        throw SaveFailure(writeFailure_, error.reason());
    }
    buffer_->setModified(false);
    path_ = path;
    diskVersion_ = fileio::identityOf(path);
}

std::shared_ptr<const ShownLines> Document::loadedText() const
{
    return buffer_->revision() == loadedRevision_ ? lastLoad_.lock() : nullptr;
}

QString Document::wholeText() const
{
    const QString raw = buffer_->toRawText();
    QString text(raw.size() + raw.count(QChar(text::kParagraphSeparator)), Qt::Uninitialized);
    QChar *out = text.data();
    for (const QChar c : raw) {
        if (c == text::kParagraphSeparator) {
            *out++ = u'\r';
            *out++ = u'\n';
        } else {
            *out++ = c;
        }
    }
    return text;
}

long long Document::textLength() const
{
    return buffer_->characterCount() - 1 + static_cast<long long>(buffer_->blockCount() - 1);
}

} // namespace vardo
