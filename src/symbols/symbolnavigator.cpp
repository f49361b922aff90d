#include "symbols/symbolnavigator.h"

#include "core/base/paths.h"
#include "core/files/fileio.h"
#include "core/qc/lexer.h"
#include "core/text/textmodel.h"
#include "doc/qtext.h"
#include "help/builtinentry.h"
#include "lists/outputlist.h"
#include "panes/textpane.h"
#include "symbols/projectsymbols.h"
#include "ui/errorbox.h"

#include <QAction>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QListView>
#include <QSet>
#include <QPainter>
#include <QStringListModel>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <numeric>

namespace vardo {

namespace {

// How long typing must pause before the edited file is indexed from the editor's text.
constexpr int kTypingPauseMs = 400;
// The largest editor's text (in characters) a lookup scans while the user waits for it, in a
// few milliseconds; a larger one is scanned in the background and the lookup goes by the last
// finished index.
constexpr int kScanWhileWaiting = 128 * 1024;
// The largest editor's text the index takes from the editor at all: copying a larger one out of
// the editor would hold up the window. Such a file's symbols come from its writes instead.
constexpr int kEditorTextLimit = 2 * 1024 * 1024;
// How far above the caret completion looks for the function's parameters and locals.
constexpr int kLocalsWindow = 64 * 1024;
// The rows whose widths the list of choices is fitted to: the longest ones.
constexpr int kMeasuredRows = 32;
// The most definitions a hover shows.
constexpr std::size_t kHoverDefinitions = 3;

} // namespace

QString shownPath(const std::string &path, const std::string &directory)
{
    return displayText(paths::relativeTo(path, directory));
}

namespace {

std::string toBytes(const QString &text)
{
    return text::encodeCp1252(u16view(text));
}

} // namespace

// The rows of the list of choices: names or definitions, and for completion what each name is.
class ChoiceRows : public QStringListModel {
public:
    using QStringListModel::QStringListModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != SymbolNavigator::kDetailRole)
            return QStringListModel::data(index, role);
        return details.value(QStringListModel::data(index, Qt::DisplayRole).toString());
    }

    QHash<QString, QString> details;
};

namespace {

// A row of completion: the name, then what it is in a quieter colour.
class ChoiceRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QString detail = index.data(SymbolNavigator::kDetailRole).toString();
        if (detail.isEmpty())
            return;
        QRect rest = option.rect;
        rest.setLeft(rest.left() + gap(option) + option.fontMetrics.horizontalAdvance(index.data().toString()));
        painter->save();
        painter->setPen(option.palette.color(option.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                                     : QPalette::PlaceholderText));
        painter->drawText(rest, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, detail);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QString detail = index.data(SymbolNavigator::kDetailRole).toString();
        if (!detail.isEmpty())
            size.rwidth() += gap(option) + option.fontMetrics.horizontalAdvance(detail);
        return size;
    }

private:
    static int gap(const QStyleOptionViewItem &option) { return 3 * option.fontMetrics.horizontalAdvance(u' ') + 4; }
};

} // namespace

QString fromBytes(const std::string &bytes)
{
    // ASCII, as names nearly always are, is the same in the code page and in Latin-1.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return fromU16(text::decodeCp1252(bytes));
}

NameAt nameAt(const QString &lineText, int line, int column)
{
    column = std::clamp(column, 0, static_cast<int>(lineText.size()));
    int begin = column, end = column;
    while (begin > 0 && qc::isNameChar(lineText[begin - 1].unicode()))
        --begin;
    while (end < lineText.size() && qc::isNameChar(lineText[end].unicode()))
        ++end;
    if (begin == end || lineText[begin].isDigit())
        return {};
    return {lineText.mid(begin, end - begin), begin > 0 && lineText[begin - 1] == u'$', line, begin};
}

SymbolNavigator::SymbolNavigator(Workbench &workbench, TextPane *editor, TextPane *preview, QObject *parent)
    : QObject(parent), workbench_(workbench), editor_(editor), symbols_(new ProjectSymbols(this)),
      typingPause_(new QTimer(this))
{
    typingPause_->setSingleShot(true);
    typingPause_->setInterval(kTypingPauseMs);
    const auto indexInBackground = [this] { indexEditorText(true); };
    connect(typingPause_, &QTimer::timeout, this, indexInBackground);
    connect(editor, &QPlainTextEdit::textChanged, typingPause_, qOverload<>(&QTimer::start));
    // A fresh index knows only the disk: the editor may hold newer lines.
    connect(symbols_, &ProjectSymbols::rebuilt, this, indexInBackground);
    connect(symbols_, &ProjectSymbols::rebuilt, this, [this] { bounds_.reset(); });

    const auto bind = [this](TextPane *pane, QKeySequence keys, std::function<void()> action) {
        auto *a = new QAction(pane);
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WidgetShortcut);
        connect(a, &QAction::triggered, this, [action] { runGuarded(action); });
        pane->addAction(a);
    };
    for (TextPane *pane : {editor, preview}) {
        bind(pane, QKeySequence(Qt::Key_F12), [this, pane] { goToDefinition(pane); });
        bind(pane, QKeySequence(Qt::SHIFT | Qt::Key_F12), [this, pane] { findReferences(pane); });
        bind(pane, QKeySequence(Qt::ALT | Qt::Key_Left), [this] { goBack(); });
        bind(pane, QKeySequence(Qt::ALT | Qt::Key_Right), [this] { goForward(); });
        pane->viewport()->installEventFilter(this);
    }
    bind(editor, QKeySequence(Qt::CTRL | Qt::Key_Space), [this] { complete(); });
    bind(editor, QKeySequence(Qt::CTRL | Qt::Key_J), [this] { complete(); });
}

bool SymbolNavigator::isInProject(const std::string &path) const
{
    if (!bounds_)
        bounds_.emplace(symbols_->directory(), symbols_->project());
    return bounds_->contains(paths::canonical(path));
}

SymbolNavigator::~SymbolNavigator()
{
    offer_.reset();
    if (choices_) {
        choices_->removeEventFilter(this);
        delete choices_;
    }
}

const std::string &SymbolNavigator::projectRoot() const
{
    return symbols_->directory();
}

void SymbolNavigator::setProjectRoot(const std::string &root)
{
    if (root == symbols_->directory())
        return;
    bounds_.reset();
    symbols_->setDirectory(root, workbench_.editedDocument().path());
}

void SymbolNavigator::indexEditorText(bool inBackground)
{
    typingPause_->stop();
    const std::string &path = workbench_.editedDocument().path();
    if (path.empty())
        return;
    const bool fromEditor = editor_->document()->characterCount() <= kEditorTextLimit;
    symbols_->setEditedFile(path, fromEditor);
    if (!fromEditor)
        return;
    const Document &edited = workbench_.editedDocument();
    // A text as the disk has it, which the index holds already (as after a load), is not
    // scanned again.
    if (!edited.isChanged() && edited.diskChange() == fileio::DiskChange::None && symbols_->holdsDiskText(path))
        return;
    const QString text = editor_->document()->toRawText();
    if (inBackground)
        symbols_->updateFromEditorInBackground(path, text);
    else
        symbols_->updateFromEditor(path, text);
}

void SymbolNavigator::bringIndexUpToDate()
{
    if (!typingPause_->isActive() && !symbols_->backgroundUpdatePending())
        return;
    if (editor_->document()->characterCount() <= kScanWhileWaiting)
        indexEditorText(false);
    else if (typingPause_->isActive())
        indexEditorText(true); // the lookup goes by the last finished index meanwhile
}

NameAt SymbolNavigator::nameAtCaret(TextPane *pane) const
{
    const QTextCursor cursor = pane->textCursor();
    const QTextBlock block = cursor.block();
    return nameAt(block.text(), block.blockNumber(), cursor.position() - block.position());
}

std::optional<check::Declaration> SymbolNavigator::checkedDeclaration(TextPane *pane, const NameAt &name) const
{
    if (!scopes_.declarationAt || pane != editor_ || name.name.isEmpty() || name.frame)
        return std::nullopt;
    return scopes_.declarationAt(name.line + 1, name.column + 1);
}

bool SymbolNavigator::listLocalUses(const check::Declaration &local)
{
    std::vector<OutputRow> rows;
    for (const check::Place &use : scopes_.usesOf(local)) {
        const QTextBlock block = editor_->document()->findBlockByNumber(use.line - 1);
        if (use.path != local.place.path || !block.isValid())
            continue;
        OutputRow row;
        row.text = QStringLiteral("%1:%2: ").arg(shownPath(use.path, symbols_->directory())).arg(use.line);
        row.markFrom = static_cast<int>(row.text.size()) + use.column - 1;
        row.markLength = static_cast<int>(local.name.size());
        row.text += block.text();
        row.file = use.path;
        row.line = use.line;
        row.column = use.column;
        row.length = row.markLength;
        rows.push_back(std::move(row));
    }
    if (rows.empty())
        return false;
    const QString shown = fromBytes(local.name);
    const QString function = fromBytes(local.function);
    workbench_.showResult((rows.size() == 1 ? tr("1 use of %2 in %3") : tr("%1 uses of %2 in %3"))
                              .arg(rows.size())
                              .arg(shown, function),
                          std::move(rows));
    return true;
}

QString SymbolNavigator::hoverText(TextPane *pane, const NameAt &name) const
{
    const std::optional<check::Declaration> found = checkedDeclaration(pane, name);
    const QString indexed = found && !found->function.empty() ? QString() : hoverText(name);
    if (!found || (!indexed.isEmpty() && found->function.empty()))
        return indexed;
    const QString where = found->function.empty() ? shownPath(found->place.path, symbols_->directory())
                                                   : tr("in %1").arg(fromBytes(found->function));
    const QString kind = found->kind == check::DeclarationKind::Parameter ? tr("parameter")
                         : found->kind == check::DeclarationKind::Local   ? tr("local")
                                                                          : QString();
    return QStringLiteral("<p style='white-space:pre'><code>%1 %2</code></p><p>%3</p>")
        .arg(fromBytes(found->type).toHtmlEscaped(), fromBytes(found->name).toHtmlEscaped(),
             QStringLiteral("%1%2, line %3").arg(kind.isEmpty() ? QString() : kind + u' ', where).arg(found->place.line).toHtmlEscaped());
}

void SymbolNavigator::tell(TextPane *pane, const QString &message)
{
    const QRect caret = pane->cursorRect();
    QToolTip::showText(pane->viewport()->mapToGlobal(caret.bottomLeft()), message, pane);
}

void SymbolNavigator::goToDefinition(TextPane *pane)
{
    const NameAt name = nameAtCaret(pane);
    if (name.name.isEmpty())
        return;
    if (const auto local = checkedDeclaration(pane, name); local && !local->function.empty()) {
        jumpToPlace(local->place.path, local->place.line, local->place.column, static_cast<int>(name.name.size()));
        return;
    }
    // Lines typed since the last pause count too.
    if (pane == editor_)
        bringIndexUpToDate();
    const std::vector<qc::Definition> found = symbols_->index().definitions(toBytes(name.name), name.frame);
    if (found.empty()) {
        tell(pane, symbols_->building() ? tr("The project is still being read; try again in a moment.")
                                        : tr("No definition of %1 in the project.").arg(name.name));
        return;
    }
    if (found.size() == 1) {
        jumpToDefinition(found.front());
        return;
    }
    Offer offer;
    for (const qc::Definition &d : found)
        offer.labels << QStringLiteral("%1:%2: %3")
                            .arg(shownPath(d.path, symbols_->directory()))
                            .arg(d.symbol.line + 1)
                            .arg(fromBytes(d.symbol.declaration));
    offer.definitions = found;
    const QStringList rows = offer.labels;
    showChoices(pane, rows, std::move(offer));
}

void SymbolNavigator::jumpToDefinition(const qc::Definition &definition)
{
    const std::optional<Place> from = editorPlace();
    if (!jumpTo(definition.path, static_cast<int>(definition.symbol.line), static_cast<int>(definition.symbol.column),
                static_cast<int>(definition.symbol.name.size())))
        return;
    if (from)
        back_.push_back(*from);
    forward_.clear();
}

std::optional<SymbolNavigator::Place> SymbolNavigator::editorPlace() const
{
    const std::string &path = workbench_.editedDocument().path();
    if (path.empty())
        return std::nullopt;
    const QTextCursor cursor = editor_->textCursor();
    return Place{path, cursor.blockNumber(), cursor.positionInBlock()};
}

bool SymbolNavigator::jumpTo(const std::string &path, int line, int column, int length)
{
    if (!workbench_.goToPlace(path, line + 1, column + 1))
        return false;
    // The name itself is what the jump shows selected.
    const QTextBlock block = editor_->document()->findBlockByNumber(line);
    if (block.isValid()) {
        QTextCursor cursor(block);
        const int start = block.position() + std::min(column, block.length() - 1);
        cursor.setPosition(start);
        cursor.setPosition(std::min(start + length, block.position() + block.length() - 1), QTextCursor::KeepAnchor);
        editor_->setTextCursor(cursor);
    }
    return true;
}

void SymbolNavigator::walk(std::vector<Place> &from, std::vector<Place> &to)
{
    const std::optional<Place> here = editorPlace();
    const Place target = from.back();
    from.pop_back();
    if (jumpTo(target.path, target.line, target.column, 0) && here)
        to.push_back(*here);
}

void SymbolNavigator::jumpToPlace(const std::string &path, int line, int column, int length)
{
    const std::optional<Place> from = editorPlace();
    if (length > 0)
        jumpTo(path, line - 1, column - 1, length);
    else
        workbench_.goToPlace(path, line, column);
    const std::optional<Place> to = editorPlace();
    if (from && to && (from->path != to->path || from->line != to->line)) {
        back_.push_back(*from);
        forward_.clear();
    }
}

bool SymbolNavigator::goBack()
{
    if (back_.empty())
        return false;
    walk(back_, forward_);
    return true;
}

bool SymbolNavigator::goForward()
{
    if (forward_.empty())
        return false;
    walk(forward_, back_);
    return true;
}

QString SymbolNavigator::hoverText(const NameAt &name) const
{
    if (name.name.isEmpty())
        return {};
    const std::string key = toBytes(name.name);
    const std::vector<qc::Definition> found = symbols_->index().definitions(key, name.frame);
    QString html;
    for (std::size_t i = 0; i < found.size() && i < kHoverDefinitions; ++i) {
        const qc::Symbol &s = found[i].symbol;
        if (i > 0)
            html += QStringLiteral("<hr>");
        html += QStringLiteral("<p style='white-space:pre'><code>%1</code></p>")
                    .arg(fromBytes(s.declaration).toHtmlEscaped());
        if (!s.comment.empty())
            html += QStringLiteral("<p style='white-space:pre'><i>%1</i></p>").arg(fromBytes(s.comment).toHtmlEscaped());
        const QString kind = s.kind == qc::SymbolKind::Builtin ? tr("builtin #%1").arg(s.builtinNumber)
                                                                : QString::fromLatin1(qc::kindName(s.kind));
        const QString where = QStringLiteral("%1, %2:%3")
                                  .arg(kind, shownPath(found[i].path, symbols_->directory()))
                                  .arg(s.line + 1);
        html += QStringLiteral("<p>%1</p>").arg(where.toHtmlEscaped());
        if (s.kind == qc::SymbolKind::Builtin) {
            const std::string entry = help::builtinEntry(s.name);
            if (!entry.empty())
                html += QStringLiteral("<pre>%1</pre>").arg(QString::fromStdString(entry).toHtmlEscaped());
        }
    }
    if (found.size() > kHoverDefinitions)
        html += tr("<p>and %1 more definitions (F12 lists them)</p>").arg(found.size() - kHoverDefinitions);
    return html;
}

void SymbolNavigator::findReferences(TextPane *pane)
{
    const NameAt name = nameAtCaret(pane);
    if (name.name.isEmpty())
        return;
    if (const auto local = checkedDeclaration(pane, name); local && !local->function.empty() && listLocalUses(*local))
        return;
    bringIndexUpToDate();
    const std::vector<qc::Reference> found = symbols_->index().references(toBytes(name.name), name.frame);
    const QString shown = (name.frame ? QStringLiteral("$") : QString()) + name.name;
    if (found.empty()) {
        tell(pane, symbols_->building() ? tr("The project is still being read; try again in a moment.")
                                        : tr("No uses of %1 in the project.").arg(shown));
        return;
    }
    std::vector<OutputRow> rows;
    rows.reserve(found.size());
    for (const qc::Reference &use : found) {
        OutputRow row;
        row.text = QStringLiteral("%1:%2: ").arg(shownPath(use.place.path, symbols_->directory())).arg(use.place.line + 1);
        row.markFrom = static_cast<int>(row.text.size() + use.nameInText);
        row.markLength = static_cast<int>(use.length);
        row.text += fromBytes(use.lineText);
        row.file = use.place.path;
        row.line = static_cast<int>(use.place.line) + 1;
        row.column = static_cast<int>(use.place.column) + 1;
        row.length = static_cast<int>(use.length);
        rows.push_back(std::move(row));
    }
    workbench_.showResult((found.size() == 1 ? tr("1 use of %2") : tr("%1 uses of %2")).arg(found.size()).arg(shown),
                          std::move(rows));
}

void SymbolNavigator::complete()
{
    // A pane shown read-only takes no completion: its changes could never be saved.
    if (editor_->isReadOnly())
        return;
    QTextCursor cursor = editor_->textCursor();
    const QString line = cursor.block().text();
    const int begin = prefixColumn();
    const QString prefix = line.mid(begin, cursor.positionInBlock() - begin);
    const QChar before = begin > 0 ? line[begin - 1] : QChar();
    const qc::CompletionContext context = before == u'.'   ? qc::CompletionContext::Field
                                          : before == u'$' ? qc::CompletionContext::Frame
                                                           : qc::CompletionContext::Any;
    bringIndexUpToDate();
    const QStringList locals = context == qc::CompletionContext::Any ? localNamesAtCaret() : QStringList();
    // The index's names are distinct already and begin with the prefix: only the locals can
    // repeat one, and only they need filtering.
    const QSet<QString> localSet(locals.begin(), locals.end());
    // After "$", the frames of the edited file: a frame macro belongs to the file that defines it.
    const std::vector<qc::Completion> found =
        symbols_->index().completions(toBytes(prefix), context, workbench_.editedDocument().path());
    QStringList project;
    QHash<QString, QString> details;
    project.reserve(static_cast<qsizetype>(found.size()));
    details.reserve(static_cast<qsizetype>(found.size() + locals.size()));
    for (const QString &local : locals)
        details.insert(local, tr("local"));
    for (const qc::Completion &completion : found) {
        QString shown = fromBytes(completion.name);
        if (localSet.isEmpty() || !localSet.contains(shown)) {
            details.insert(shown, fromBytes(completion.detail));
            project << std::move(shown);
        }
    }
    // Lists joined only where both have names: a hundred thousand names are not copied for nothing.
    const auto joined = [](const QStringList &first, const QStringList &second) {
        return first.isEmpty() ? second : second.isEmpty() ? first : first + second;
    };
    const QStringList offered = joined(completionsFor(locals, prefix), project);
    Offer offer;
    offer.completion = true;
    offer.names = joined(locals, project);
    if (offered.isEmpty()) {
        tell(editor_, tr("Nothing in the project begins with %1.").arg(prefix));
        return;
    }
    if (offered.size() == 1) {
        insertCompletion(offered.front());
        return;
    }
    offer.details = std::move(details);
    showChoices(editor_, offered, std::move(offer));
}

QStringList SymbolNavigator::localNamesAtCaret() const
{
    // From the line that starts the window above the caret to the end of the caret's line.
    const QTextCursor cursor = editor_->textCursor();
    const QTextBlock last = cursor.block();
    QTextBlock first = last;
    int length = last.length();
    while (first.previous().isValid() && length + first.previous().length() <= kLocalsWindow) {
        first = first.previous();
        length += first.length();
    }
    QTextCursor lines(first);
    lines.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
    const QString text = withLineFeeds(lines.selectedText());
    QStringList out;
    for (const std::string &local :
         qc::localNames(toBytes(text), static_cast<std::uint32_t>(last.blockNumber() - first.blockNumber())))
        out << fromBytes(local);
    return out;
}

QStringList SymbolNavigator::completionsFor(const QStringList &names, const QString &prefix)
{
    QStringList out;
    for (const QString &name : names)
        if (name.startsWith(prefix, Qt::CaseInsensitive))
            out << name;
    return out;
}

int SymbolNavigator::prefixColumn() const
{
    const QTextCursor cursor = editor_->textCursor();
    const QString line = cursor.block().text();
    int begin = cursor.positionInBlock();
    while (begin > 0 && qc::isNameChar(line[begin - 1].unicode()))
        --begin;
    return begin;
}

void SymbolNavigator::insertCompletion(const QString &name)
{
    if (editor_->isReadOnly())
        return;
    // The whole name at the caret makes way, not only its part before the caret.
    QTextCursor cursor = editor_->textCursor();
    const QString line = cursor.block().text();
    int end = cursor.positionInBlock();
    while (end < line.size() && qc::isNameChar(line[end].unicode()))
        ++end;
    cursor.setPosition(cursor.block().position() + prefixColumn());
    cursor.setPosition(cursor.block().position() + end, QTextCursor::KeepAnchor);
    cursor.insertText(name);
    editor_->setTextCursor(cursor);
}

void SymbolNavigator::refilterCompletion()
{
    if (!completing() || !choices_)
        return;
    const QTextCursor cursor = editor_->textCursor();
    const int begin = prefixColumn();
    const QStringList offered =
        completionsFor(offer_->names, cursor.block().text().mid(begin, cursor.positionInBlock() - begin));
    if (offered.isEmpty()) {
        hideChoices();
        return;
    }
    rows_->setStringList(offered);
    choices_->setCurrentIndex(rows_->index(0));
}

void SymbolNavigator::showChoices(TextPane *pane, const QStringList &rows, Offer offer)
{
    if (!choices_) {
        choices_ = new QListView(editor_->window());
        choices_->setObjectName(QStringLiteral("choices"));
        choices_->setWindowFlags(Qt::Popup);
        choices_->setUniformItemSizes(true);
        choices_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        rows_ = new ChoiceRows(choices_);
        choices_->setModel(rows_);
        choices_->setItemDelegate(new ChoiceRowDelegate(choices_));
        choices_->installEventFilter(this);
        connect(choices_, &QListView::activated, this, [this] { choose(); });
    }
    offer_.reset();
    rows_->details = std::exchange(offer.details, {});
    rows_->setStringList(rows);
    choices_->setCurrentIndex(rows_->index(0));
    // Fitted to its longest rows: measuring every one of a hundred thousand names would keep
    // the user waiting.
    std::vector<int> longest(static_cast<std::size_t>(rows.size()));
    std::iota(longest.begin(), longest.end(), 0);
    const auto measured = longest.begin() + std::min<qsizetype>(kMeasuredRows, rows.size());
    std::partial_sort(longest.begin(), measured, longest.end(),
                      [&](int a, int b) { return rows[a].size() > rows[b].size(); });
    int width = 0;
    for (auto row = longest.begin(); row != measured; ++row)
        width = std::max(width, choices_->sizeHintForIndex(rows_->index(*row)).width());
    const int shown = std::min(static_cast<int>(rows.size()), 10);
    const int frame = 2 * choices_->frameWidth();
    choices_->resize(std::min(width + frame + choices_->verticalScrollBar()->sizeHint().width(), 800),
                     shown * choices_->sizeHintForRow(0) + frame);
    choices_->move(pane->viewport()->mapToGlobal(pane->cursorRect().bottomLeft()));
    choices_->show();
    choices_->setFocus();
    offer_ = std::move(offer);
}

void SymbolNavigator::hideChoices()
{
    offer_.reset();
    if (choices_)
        choices_->hide();
}

void SymbolNavigator::choose()
{
    if (!choices_)
        return;
    const QModelIndex current = choices_->currentIndex();
    const int row = current.isValid() ? current.row() : -1;
    const QString text = current.data().toString();
    const std::optional<Offer> offer = std::exchange(offer_, std::nullopt);
    hideChoices();
    if (!offer || text.isEmpty())
        return;
    // A choice is one of the offer's entries, or nothing.
    if (offer->completion) {
        if (offer->names.contains(text))
            runGuarded([&] { insertCompletion(text); });
    } else if (row >= 0 && row < offer->labels.size() && offer->labels[row] == text &&
               static_cast<std::size_t>(row) < offer->definitions.size()) {
        runGuarded([&] { jumpToDefinition(offer->definitions[static_cast<std::size_t>(row)]); });
    }
}

bool SymbolNavigator::choicesKey(QKeyEvent *key)
{
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        choose();
        return true;
    case Qt::Key_Tab:
        if (completing())
            choose();
        return true;
    case Qt::Key_Escape:
        hideChoices();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return false;
    default:
        if (!completing())
            return false;
        // Typing goes on in the editor while the list follows what is typed.
        QCoreApplication::sendEvent(editor_, key);
        refilterCompletion();
        return true;
    }
}

QListView *SymbolNavigator::choices() const
{
    return choices_ && choices_->isVisible() ? choices_ : nullptr;
}

bool SymbolNavigator::eventFilter(QObject *watched, QEvent *event)
{
    if (choices_ && watched == choices_) {
        // However the list went away, what it offered goes with it.
        if (event->type() == QEvent::Hide)
            offer_.reset();
        return event->type() == QEvent::KeyPress && choicesKey(static_cast<QKeyEvent *>(event));
    }
    auto *pane = watched->parent() ? qobject_cast<TextPane *>(watched->parent()) : nullptr;
    if (!pane)
        return false;
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QTextCursor cursor = pane->cursorForPosition(help->pos());
        const QTextBlock block = cursor.block();
        QString text = hoverText(pane, nameAt(block.text(), block.blockNumber(), cursor.positionInBlock()));
        // A problem's message over the name's help.
        if (const QString problem = pane->markToolTipAt(cursor.position()); !problem.isEmpty())
            text = QStringLiteral("<p style='white-space:pre'>%1</p>").arg(problem.toHtmlEscaped()) +
                   (text.isEmpty() ? QString() : QStringLiteral("<hr>") + text);
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, pane->viewport());
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !(mouse->modifiers() & Qt::ControlModifier))
            return false;
        pane->setTextCursor(pane->cursorForPosition(mouse->position().toPoint()));
        runGuarded([this, pane] { goToDefinition(pane); });
        return true;
    }
    return false;
}

} // namespace vardo
