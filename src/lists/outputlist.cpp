#include "lists/outputlist.h"

#include <QAbstractListModel>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSplitter>
#include <functional>
#include <unordered_map>

namespace vardo {

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
            if (role == Qt::DisplayRole)
                return heading_;
            if (role == Qt::FontRole) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        }
        const OutputRow &row = rows_[static_cast<std::size_t>(index.row() - 1)];
        const bool outside = (role == Qt::DisplayRole || role == Qt::ToolTipRole) && isOutside(row);
        if (role == Qt::DisplayRole)
            return outside ? row.text + QStringLiteral("   [outside the project: opens read-only]") : row.text;
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
    const int count = resultRows();
    if (count == 0)
        return false;
    // Result rows are model rows 1..count; before the first move the walk starts at either end.
    int row = currentIndex().isValid() && currentIndex().row() > 0 ? currentIndex().row() - 1
                                                                    : (step > 0 ? count - 1 : 0);
    for (int tried = 0; tried < count; ++tried) {
        row = (row + step + count) % count;
        if (resultRow(row).hasPlace()) {
            if (isHidden())
                reveal();
            const QModelIndex index = model_->index(row + 1);
            setCurrentIndex(index);
            scrollTo(index);
            goTo(index);
            return true;
        }
    }
    return false;
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
        return;
    default:
        QListView::keyPressEvent(event);
    }
}

} // namespace vardo
