#include "lists/outputlist.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <functional>
#include <unordered_map>

namespace vardo {

namespace {

constexpr int kTabWidth = 4;

// Where a position of text lands once its tabs are spaces up to the next stop.
int spacedPosition(const QString &text, int position)
{
    int column = 0;
    for (int i = 0; i < position && i < text.size(); ++i)
        column = text[i] == u'\t' ? (column / kTabWidth + 1) * kTabWidth : column + 1;
    return column;
}

QString spacedTabs(const QString &text)
{
    if (!text.contains(u'\t'))
        return text;
    QString spaced;
    spaced.reserve(text.size() + kTabWidth);
    for (const QChar c : text) {
        if (c == u'\t')
            spaced.append(QString(kTabWidth - spaced.size() % kTabWidth, u' '));
        else
            spaced.append(c);
    }
    return spaced;
}

// The walk of F4: errors, then warnings, then the rest.
int walkRank(qc::Severity severity)
{
    switch (severity) {
    case qc::Severity::Error:
        return 0;
    case qc::Severity::Warning:
        return 1;
    case qc::Severity::Note:
    case qc::Severity::None:
        break;
    }
    return 2;
}

// Draws the heading bold and a translucent mark over the marked part of a row.
class MarkDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.row() == 0)
            option->font.setBold(true);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QPoint mark = index.data(OutputList::kMarkRole).toPoint();
        if (mark.y() <= 0)
            return;
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        const QWidget *widget = option.widget;
        const QStyle *style = widget ? widget->style() : QApplication::style();
        const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QFontMetrics metrics(item.font);
        const int left = text.left() + margin + metrics.horizontalAdvance(item.text.left(mark.x()));
        const int width = metrics.horizontalAdvance(item.text.mid(mark.x(), mark.y()));
        painter->fillRect(QRect(left, text.top(), width, text.height()), QColor(255, 190, 0, 96));
    }
};

} // namespace

// Row 0 is the heading, then the result's rows in order.
class OutputModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size()) + 1;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (index.row() == 0) {
            return role == Qt::DisplayRole ? QVariant(heading_) : QVariant();
        }
        const OutputRow &row = rows_[static_cast<std::size_t>(index.row() - 1)];
        const bool outside = (role == Qt::DisplayRole || role == Qt::ToolTipRole) && isOutside(row);
        if (role == Qt::DisplayRole)
            return outside ? spacedTabs(row.text) + QStringLiteral("   [outside the project: opens read-only]")
                           : spacedTabs(row.text);
        if (role == OutputList::kMarkRole && row.markLength > 0) {
            const int from = spacedPosition(row.text, row.markFrom);
            return QPoint(from, spacedPosition(row.text, row.markFrom + row.markLength) - from);
        }
        if (role == Qt::ToolTipRole && outside)
            return QStringLiteral("%1 lies outside the project: it opens read-only.").arg(QString::fromStdString(row.file));
        if (role == Qt::ForegroundRole)
            return colourOf(row.severity);
        return {};
    }

    void setOutsideMark(std::function<bool(const std::string &)> isOutside)
    {
        isOutside_ = std::move(isOutside);
        outside_.clear();
    }

    void reset(const QString &heading)
    {
        beginResetModel();
        heading_ = heading;
        rows_.clear();
        outside_.clear();
        limited_ = 0;
        endResetModel();
    }

    // Adds rows; only the last `limit` rows added this way are kept.
    void add(std::vector<OutputRow> rows, std::size_t limit)
    {
        if (rows.size() > limit)
            rows.erase(rows.begin(), rows.end() - static_cast<std::ptrdiff_t>(limit));
        const std::size_t excess = limited_ - std::min(limited_, limit - rows.size());
        if (excess > 0) {
            beginRemoveRows({}, 1, static_cast<int>(excess));
            rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(excess));
            limited_ -= excess;
            endRemoveRows();
        }
        if (rows.empty())
            return;
        const int first = rowCount();
        beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
        limited_ += rows.size();
        std::move(rows.begin(), rows.end(), std::back_inserter(rows_));
        endInsertRows();
    }

    void addClosing(OutputRow row)
    {
        const int at = rowCount();
        beginInsertRows({}, at, at);
        rows_.push_back(std::move(row));
        endInsertRows();
    }

    QString heading_;
    std::deque<OutputRow> rows_;

private:
    static QVariant colourOf(qc::Severity severity)
    {
        switch (severity) {
        case qc::Severity::Error:
            return QColor(200, 0, 0);
        case qc::Severity::Warning:
            return QColor(160, 100, 0);
        case qc::Severity::Note:
            return QColor(112, 112, 112);
        case qc::Severity::None:
            break;
        }
        return {};
    }

    // Asked only for the rows shown, once per file of a result.
    bool isOutside(const OutputRow &row) const
    {
        if (!row.hasPlace() || !isOutside_)
            return false;
        const auto known = outside_.find(row.file);
        return known != outside_.end() ? known->second : outside_.emplace(row.file, isOutside_(row.file)).first->second;
    }

    std::size_t limited_ = 0; // rows added by add(), all at the front of rows_
    std::function<bool(const std::string &)> isOutside_;
    mutable std::unordered_map<std::string, bool> outside_;
};

OutputList::OutputList(QWidget *parent) : QListView(parent), model_(new OutputModel(this))
{
    setModel(model_);
    setItemDelegate(new MarkDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(this, &QAbstractItemView::doubleClicked, this, &OutputList::goTo);
}

OutputList::~OutputList() = default;

void OutputList::setOutsideMark(std::function<bool(const std::string &path)> isOutside)
{
    model_->setOutsideMark(std::move(isOutside));
}

void OutputList::showResult(const QString &heading, std::vector<OutputRow> rows)
{
    begin(heading);
    append(std::move(rows));
    scrollToTop();
}

void OutputList::replaceResult(const QString &heading, std::vector<OutputRow> rows)
{
    model_->reset(heading);
    model_->add(std::move(rows), kMaxRows);
    scrollToTop();
}

void OutputList::begin(const QString &heading)
{
    model_->reset(heading);
    reveal();
}

void OutputList::append(std::vector<OutputRow> rows)
{
    const QScrollBar *bar = verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    model_->add(std::move(rows), kMaxRows);
    if (following)
        scrollToBottom();
}

void OutputList::finish(OutputRow summary)
{
    const QScrollBar *bar = verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    model_->addClosing(std::move(summary));
    if (following)
        scrollToBottom();
}

void OutputList::clear()
{
    model_->reset({});
    hide();
}

int OutputList::resultRows() const
{
    return static_cast<int>(model_->rows_.size());
}

const OutputRow &OutputList::resultRow(int index) const
{
    return model_->rows_.at(static_cast<std::size_t>(index));
}

QString OutputList::heading() const
{
    return model_->heading_;
}

// Shown, and given a share of the splitter again if it was dragged shut.
void OutputList::reveal()
{
    show();
    auto *splitter = qobject_cast<QSplitter *>(parentWidget());
    if (!splitter)
        return;
    QList<int> sizes = splitter->sizes();
    const int mine = splitter->indexOf(this);
    if (mine < 0 || sizes.value(mine) > 0)
        return;
    int total = 0;
    for (const int size : sizes)
        total += size;
    for (int &size : sizes)
        size = total * 3 / 4;
    sizes[mine] = total / 4;
    splitter->setSizes(sizes);
}

bool OutputList::goToNext()
{
    return goToFrom(1);
}

bool OutputList::goToPrevious()
{
    return goToFrom(-1);
}

bool OutputList::goToFrom(int step)
{
    // The result rows with a place, in the order of the walk.
    std::vector<int> walk;
    for (int rank = 0; rank < 3; ++rank)
        for (int row = 0; row < resultRows(); ++row)
            if (resultRow(row).hasPlace() && walkRank(resultRow(row).severity) == rank)
                walk.push_back(row);
    const int count = static_cast<int>(walk.size());
    if (count == 0)
        return false;
    // Before the first move, or from a row off the walk, the walk starts at either end.
    const auto here = std::ranges::find(walk, currentIndex().row() - 1);
    const int from = here != walk.end() ? static_cast<int>(here - walk.begin()) : (step > 0 ? count - 1 : 0);
    const int row = walk[static_cast<std::size_t>((from + step + count) % count)];
    if (isHidden())
        reveal();
    const QModelIndex index = model_->index(row + 1);
    setCurrentIndex(index);
    scrollTo(index);
    goTo(index);
    return true;
}

void OutputList::goTo(const QModelIndex &index)
{
    if (!index.isValid() || index.row() == 0)
        return;
    const OutputRow &row = resultRow(index.row() - 1);
    if (row.hasPlace())
        emit goToRequested(row);
}

void OutputList::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        goTo(currentIndex());
        return;
    case Qt::Key_Escape:
        hide();
        if (auto *splitter = qobject_cast<QSplitter *>(parentWidget()); splitter && splitter->widget(0))
            splitter->widget(0)->setFocus(Qt::OtherFocusReason);
        emit dismissed();
        return;
    default:
        QListView::keyPressEvent(event);
    }
}

} // namespace vardo
