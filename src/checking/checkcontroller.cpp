#include "checking/checkcontroller.h"

#include "core/qc/lexer.h"
#include "doc/textcopy.h"
#include "lists/outputlist.h"
#include "panes/textpane.h"

#include <QShortcut>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

namespace vardo {

namespace {

QColor markColour(qc::Severity severity)
{
    return severity == qc::Severity::Error ? QColor(230, 0, 0) : QColor(230, 150, 0);
}

// The name a diagnostic points at, or the character there; at a line's end, the one before.
QTextCursor markedText(QTextDocument *document, const qc::Diagnostic &d)
{
    const QTextBlock block = document->findBlockByNumber(d.line - 1);
    if (!block.isValid())
        return {};
    const QString text = block.text();
    int from = std::clamp(d.column - 1, 0, static_cast<int>(text.size()));
    int end = from;
    while (end < text.size() && qc::isNameChar(text[end].unicode()))
        ++end;
    if (end == from && from < text.size())
        ++end;
    else if (end == from && from > 0)
        --from;
    QTextCursor cursor(document);
    cursor.setPosition(block.position() + from);
    cursor.setPosition(block.position() + end, QTextCursor::KeepAnchor);
    return cursor;
}

QString counted(int count, const char *singular, const char *plural)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? singular : plural));
}

} // namespace

CheckController::CheckController(Workbench &workbench, TextPane *editor, OutputList *problems, QWidget *window)
    : QObject(window), workbench_(workbench), editor_(editor), problems_(problems),
      worker_(new CheckWorker([this](CheckResult result) { received(std::move(result)); }, this)),
      copy_(new TextCopy(editor->document(), this))
{
    pause_.setSingleShot(true);
    pause_.setInterval(kTypingPauseMs);
    connect(&pause_, &QTimer::timeout, this, &CheckController::send);
    connect(editor, &QPlainTextEdit::textChanged, this, &CheckController::textChanged);
    connect(editor->doc(), &Document::replaced, this, &CheckController::fileReplaced);
    // A save may cause or cure problems in the files that use this one, and other programs may
    // have written files meanwhile: the next check reads the whole project again.
    connect(editor->document(), &QTextDocument::modificationChanged, this, [this](bool changed) {
        if (!changed) {
            wholeProject_ = true;
            pause_.start();
        }
    });
    connect(problems, &OutputList::dismissed, this, [this] { dismissed_ = true; });
    connect(new QShortcut(QKeySequence(Qt::Key_F8), window), &QShortcut::activated, this, [this] {
        dismissed_ = false;
        problems_->reveal();
    });
    pause_.start();
}

void CheckController::recheckProject()
{
    wholeProject_ = true;
    pause_.stop();
    send();
}

void CheckController::textChanged()
{
    ++generation_;
    pause_.start();
}

void CheckController::fileReplaced()
{
    ++generation_;
    editor_->setMarks(TextPane::MarkOwner::Problems, {});
    pause_.start();
}

void CheckController::send()
{
    if (running_) {
        wanted_ = true;
        return;
    }
    running_ = true;
    wanted_ = false;
    CheckRequest request;
    request.generation = generation_;
    request.folder = workbench_.workingDirectory();
    request.path = editor_->doc()->path();
    request.wholeProject = std::exchange(wholeProject_, false);
    request.tooLarge = static_cast<std::size_t>(editor_->document()->characterCount()) > check::kLargestChecked;
    if (request.path.empty() || request.tooLarge)
        return worker_->check(std::move(request));
    // A change during the copy starts it again: the text that arrives is the newest.
    copy_->start([this, request = std::move(request)](QString text) mutable {
        request.generation = generation_;
        request.text = std::move(text);
        worker_->check(std::move(request));
    });
}

void CheckController::received(CheckResult result)
{
    running_ = false;
    if (wanted_)
        send();
    if (result.generation != generation_)
        return;
    showMarks(result.file);
    showRows(result);
    emit checked();
}

void CheckController::showMarks(const std::vector<qc::Diagnostic> &diagnostics)
{
    // Nearest the middle of the view first.
    const int top = editor_->cursorForPosition(QPoint(0, 0)).blockNumber();
    const int bottom = editor_->cursorForPosition(QPoint(0, editor_->viewport()->height())).blockNumber();
    const int middle = (top + bottom) / 2 + 1;
    std::vector<const qc::Diagnostic *> order;
    order.reserve(diagnostics.size());
    for (const qc::Diagnostic &d : diagnostics)
        order.push_back(&d);
    const auto shown = order.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(kMaxMarks, order.size()));
    std::partial_sort(order.begin(), shown, order.end(), [middle](const auto *a, const auto *b) {
        return std::abs(a->line - middle) < std::abs(b->line - middle);
    });
    QList<QTextEdit::ExtraSelection> marks;
    for (auto d = order.begin(); d != shown; ++d) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = markedText(editor_->document(), **d);
        if (mark.cursor.isNull())
            continue;
        const QColor colour = markColour((*d)->severity);
        mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        mark.format.setUnderlineColor(colour);
        mark.format.setToolTip(QString::fromStdString(qc::shownText((*d)->message)));
        mark.format.setProperty(TextPane::kGutterColour, colour);
        marks << mark;
    }
    editor_->setMarks(TextPane::MarkOwner::Problems, std::move(marks));
}

void CheckController::showRows(CheckResult &result)
{
    const QString heading =
        result.failure.isEmpty()
            ? QStringLiteral("Problems: %1, %2")
                  .arg(counted(result.errors, "error", "errors"), counted(result.warnings, "warning", "warnings"))
            : QStringLiteral("Problems: the project cannot be checked: %1").arg(result.failure);
    const bool errorHere =
        std::ranges::any_of(result.file, [](const qc::Diagnostic &d) { return d.severity == qc::Severity::Error; });
    if (errorHere && !dismissed_ && problems_->isHidden())
        problems_->showResult(heading, std::move(result.rows));
    else
        problems_->replaceResult(heading, std::move(result.rows));
}

std::optional<check::Declaration> CheckController::declarationAt(int line, int column)
{
    if (pause_.isActive())
        return std::nullopt;
    return worker_->declarationAt(generation_, editor_->doc()->path(), line, column);
}

std::vector<check::Place> CheckController::usesOf(const check::Declaration &declaration)
{
    if (pause_.isActive())
        return {};
    return worker_->usesOf(generation_, declaration);
}

} // namespace vardo
