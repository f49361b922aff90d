#include "edit/editcontroller.h"

#include "core/base/console.h"
#include "core/base/paths.h"
#include "doc/qtext.h"
#include "lists/filelistbox.h"
#include "panes/textpane.h"
#include "panes/writeback.h"
#include "ui/errorbox.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTextBlock>
#include <QTimer>

namespace vardo {

namespace {

using Page = Workbench::Page;

// A load into the editor failed and changed nothing: the console hears of it and the user is
// told what and why.
void reportLoadFailure(const QString &what, const std::string &path, const LoadFailure &failure)
{
    ConsoleMessage("Load fail!!: ");
    showErrorBox(what.arg(displayText(path)) + QStringLiteral(": %1. The editor keeps its text.")
                                                   .arg(displayText(failure.reason())));
}

// Selects a line (from 1; past the end: the last line) from the column (from 1; 0: its start)
// to its end.
void selectLine(TextPane *pane, int line, int column)
{
    const int lines = std::max(1, pane->lineCount());
    const QTextBlock block = pane->document()->findBlockByNumber(std::clamp(line, 1, lines) - 1);
    const int length = block.length() - 1;
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + length);
    cursor.setPosition(block.position() + std::clamp(column - 1, 0, length), QTextCursor::KeepAnchor);
    pane->setTextCursor(cursor);
}

} // namespace

EditController::EditController(Workbench &workbench, const EditWidgets &widgets, QObject *parent)
    : QObject(parent), workbench_(workbench), widgets_(widgets)
{
    // The editor's loads end a double click: none follows that would take the text it read,
    // which would be held until the double click's time is over.
    widgets.editor->doc()->setLendsLoadToDoubleClick(false);
    tabRoot_ = workbench.projectRoot();
    // Behind an editor that holds its file (after a double click), the preview keeps only the
    // text a large file was read as.
    widgets.preview->setSetsAsideWhenHidden([this] {
        const std::string &shown = widgets_.preview->doc()->path();
        return !shown.empty() && (shown == document().path() || shown == opening_);
    });
    connect(widgets.qcFiles, &FileListBox::fileClicked, this, &EditController::preview);
    connect(widgets.qcFiles, &FileListBox::fileChanged, this, &EditController::preview);
    connect(widgets.qcFiles, &FileListBox::fileDoubleClicked, this,
            [this] { openForEdit(widgets_.qcFiles->selectedFilePath()); });
    QTextDocument *text = widgets.editor->document();
    connect(text, &QTextDocument::modificationChanged, this, &EditController::showModificationMark);
    // The status follows the caret and the line count, whatever moved them.
    connect(widgets.editor, &QPlainTextEdit::cursorPositionChanged, this, &EditController::showCaretPosition);
    connect(text, &QTextDocument::contentsChanged, this, &EditController::showCaretPosition);
    widgets.editor->installEventFilter(this);
    widgets.editor->viewport()->installEventFilter(this);
}

// The status first shows when the user turns to the editor: a key, a click, the focus coming
// from another control (not the window being activated or a menu closing).
bool EditController::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        showCaretPosition();
        break;
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            showCaretPosition();
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

Document &EditController::document() const
{
    return *widgets_.editor->doc();
}

void EditController::preview()
{
    const std::string path = widgets_.qcFiles->selectedFilePath();
    if (path.empty())
        return;
    // The preview wraps its lines, and a wrapping pane lays out every line again whenever its
    // width changes: its border and its place in front are settled before the text arrives,
    // and put back when the load does not finish.
    TextPane *preview = widgets_.preview;
    const TextPane::Border border = preview->border();
    const Page page = workbench_.currentPage();
    const auto putBack = [&] {
        preview->setBorder(border);
        workbench_.showPage(page);
    };
    try {
        preview->setBorder(path == document().path() ? TextPane::Border::Single : TextPane::Border::None);
        workbench_.showPage(Page::View);
        preview->loadFromFile(path);
        tabRoot_ = workbench_.projectRoot();
        workbench_.setPageCaption(Page::View, captionText(tabName(path)));
    } catch (const LoadCancelled &) {
        putBack();
    } catch (const std::exception &) {
        putBack();
        ConsoleMessage("Open fail!!: ");
    }
}

std::string EditController::tabName(const std::string &path) const
{
    const std::string below = paths::relativeTo(path, tabRoot_);
    return below != path ? below : paths::fileNamePart(path);
}

bool EditController::autosave()
{
    Document &edited = document();
    if (!widgets_.autosave->isChecked() || edited.path().empty() || !edited.isChanged() ||
        edited.textLength() == 0 || edited.isReadOnly())
        return true;
    // A question about the editor's text is asked with that text in view.
    if (edited.diskChange() == fileio::DiskChange::Modified)
        workbench_.showPage(Page::Edit);
    try {
        switch (writeBack(edited)) {
        case WriteBack::Written:
            ConsoleMessage(":: Autosaved: " + edited.path());
            return true;
        case WriteBack::EditsDiscarded:
            return reload();
        case WriteBack::Cancelled:
            return false;
        default:
            return true;
        }
    } catch (const SaveFailure &failure) {
        // The editor holds the only copy of the user's work: stay on it and say why.
        ConsoleMessage("Autosaved fail!!: ");
        workbench_.showPage(Page::Edit);
        showErrorBox(QStringLiteral("Could not save %1: %2. Your text stays in the editor; "
                                    "double-click a file to try again.")
                         .arg(displayText(edited.path()), displayText(failure.reason())));
        return false;
    }
}

void EditController::save()
{
    Document &edited = document();
    const QString name = displayText(paths::fileNamePart(edited.path()));
    if (edited.path().empty())
        return tellSaved(QStringLiteral("No file behind this text."));
    if (!edited.isChanged())
        return tellSaved(QStringLiteral("%1 has no changes.").arg(name));
    try {
        switch (writeBack(edited)) {
        case WriteBack::Written:
            ConsoleMessage(":: Saved: " + edited.path());
            tellSaved(QStringLiteral("Saved %1.").arg(name));
            break;
        case WriteBack::EditsDiscarded:
            reload();
            break;
        default:
            break;
        }
    } catch (const SaveFailure &failure) {
        ConsoleMessage("Save fail!!: ");
        showErrorBox(QStringLiteral("Could not save %1: %2. Your text stays in the editor.")
                         .arg(displayText(edited.path()), displayText(failure.reason())));
    }
}

void EditController::tellSaved(const QString &what)
{
    QLabel *label = widgets_.saveStatus;
    label->setText(what);
    label->show();
    // A newer message starts its own few seconds.
    const int shown = ++savesTold_;
    QTimer::singleShot(4000, label, [this, label, shown] {
        if (shown == savesTold_) {
            label->clear();
            label->hide();
        }
    });
}

bool EditController::reload()
{
    try {
        widgets_.editor->reload();
    } catch (const LoadCancelled &) {
        return false;
    } catch (const LoadFailure &failure) {
        reportLoadFailure(QStringLiteral("Could not read %1 again"), document().path(), failure);
        return false;
    }
    emit textLoaded();
    return true;
}

// The new file is read before anything else changes, so that a file that cannot be read
// leaves the editor, its file and the captions as they were.
bool EditController::openForEdit(const std::string &path)
{
    return open(path, false);
}

bool EditController::open(const std::string &path, bool outsideProject)
{
    TextPane *editor = widgets_.editor;
    FileText file;
    try {
        file = editor->readForLoad(path);
    } catch (const LoadCancelled &) {
        return false;
    } catch (const LoadFailure &failure) {
        reportLoadFailure(QStringLiteral("Could not open %1"), path, failure);
        return false;
    }
    // Text typed with no file behind it has nowhere to be saved: it is dropped only when the
    // user says so.
    if (document().path().empty() && editor->textLength() > 0 &&
        !offerToSave(document(), QStringLiteral("the editor")))
        return false;
    if (!autosave())
        return false;
    const Page page = workbench_.currentPage();
    opening_ = path;
    workbench_.showPage(Page::Edit);
    opening_.clear();
    try {
        editor->applyFile(path, file);
    } catch (const LoadCancelled &) {
        workbench_.showPage(page);
        return false;
    }
    if (outsideProject)
        document().markOutsideProject();
    emit textLoaded();
    followProjectRoot();
    return true;
}

bool EditController::goToPlace(const std::string &path, int line, int column)
{
    const std::string target = paths::canonical(path);
    const std::string &edited = document().path();
    if (edited.empty() || paths::canonical(edited) != target) {
        if (!paths::isRegularFile(target)) {
            showErrorBox(QStringLiteral("Cannot open file ") + displayText(target));
            return false;
        }
        if (!open(target, !workbench_.isInProject(target)))
            return false;
    }
    TextPane *editor = widgets_.editor;
    workbench_.showPage(Page::Edit);
    selectLine(editor, line, column);
    editor->placeCaretInUpperThird();
    editor->focus();
    showCaretPosition();
    return true;
}

bool EditController::confirmClose()
{
    if (document().isChanged())
        workbench_.showPage(Page::Edit);
    return offerToSave(document(), QStringLiteral("the editor"));
}

void EditController::reloadOutsideChanges()
{
    if (reloadIfSavedElsewhere(*widgets_.editor))
        emit textLoaded();
}

void EditController::showCaretPosition()
{
    const int line = widgets_.editor->caretPosition().line, lines = widgets_.editor->lineCount();
    // Asked for several times a key: the message is made again only when it changes.
    if (line == shownCaret_.line && lines == shownCaret_.lines)
        return;
    shownCaret_ = {line, lines};
    widgets_.status->showMessage(QStringLiteral("[%1/%2] - ").arg(line + 1).arg(lines + 1));
}

void EditController::followProjectRoot()
{
    tabRoot_ = workbench_.projectRoot();
    showModificationMark();
}

void EditController::showModificationMark()
{
    if (document().isFilling())
        return;
    const std::string &path = document().path();
    // A file outside the project shows where it lies.
    const bool outside = document().readOnlyReason() == Document::ReadOnlyReason::OutsideProject;
    const QString name = captionText(outside ? path : tabName(path));
    if (document().isChanged())
        workbench_.setPageCaption(Page::Edit, QStringLiteral("[ &Edit ") + name + QStringLiteral("]"));
    else
        workbench_.setPageCaption(Page::Edit, path.empty() ? QStringLiteral("&Edit") : name);
}

} // namespace vardo
