#include "quickopen/quickopen.h"

#include "core/base/paths.h"
#include "core/quickopen/filewalk.h"
#include "core/quickopen/ranking.h"
#include "doc/qtext.h"
#include "ui/errorbox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QShortcut>
#include <QVBoxLayout>
#include <set>

namespace vardo {

namespace {

// Paths handed to the window at a time: enough to keep the queue short, few enough that
// taking them in costs the window nothing it would notice.
constexpr std::size_t kBatch = 1000;
constexpr int kRefilterEvery = 100; // milliseconds

} // namespace

QuickOpen::QuickOpen(Workbench &workbench, QWidget *window)
    : QFrame(window), workbench_(workbench), filter_(new QLineEdit(this)), matches_(new QListWidget(this)),
      count_(new QLabel(this))
{
    setObjectName(QStringLiteral("quickOpen"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    filter_->setPlaceholderText(QStringLiteral("Type letters of a file name"));
    matches_->setFocusPolicy(Qt::NoFocus);
    matches_->setUniformItemSizes(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(filter_);
    layout->addWidget(count_);
    layout->addWidget(matches_);
    hide();

    filter_->installEventFilter(this);
    window->installEventFilter(this);
    connect(filter_, &QLineEdit::textChanged, this, &QuickOpen::refilter);
    connect(matches_, &QListWidget::itemActivated, this, [this] { runGuarded([this] { openChosen(); }); });
    refilterSoon_.setSingleShot(true);
    refilterSoon_.setInterval(kRefilterEvery);
    connect(&refilterSoon_, &QTimer::timeout, this, &QuickOpen::refilter);
    // Clicking elsewhere in the window puts the popup away.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (isVisible() && now && !isAncestorOf(now))
            dismiss();
    });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), window), &QShortcut::activated, this,
            [this] { runGuarded([this] { popUp(); }); });
}

QuickOpen::~QuickOpen()
{
    stopListing();
}

void QuickOpen::popUp()
{
    stopListing();
    if (!isVisible())
        before_ = QApplication::focusWidget();
    root_ = workbench_.projectRoot();
    files_.clear();
    filter_->clear();
    refilter();
    startListing(root_);
    place();
    show();
    raise();
    filter_->setFocus(Qt::ShortcutFocusReason);
}

void QuickOpen::dismiss()
{
    if (stop_)
        *stop_ = true;
    refilterSoon_.stop();
    hide();
}

void QuickOpen::place()
{
    const QWidget *window = parentWidget();
    const int width = std::min(window->width() * 3 / 4, 720);
    const int height = std::min(window->height() * 2 / 3, 480);
    setGeometry((window->width() - width) / 2, window->height() / 10, width, height);
}

void QuickOpen::startListing(const std::string &root)
{
    listed_ = false;
    stop_ = std::make_shared<std::atomic<bool>>(false);
    const unsigned generation = ++generation_;
    // The thread outlives no popup: stopListing() joins it, and it reaches the popup only
    // through queued calls.
    walker_ = std::thread([this, root, generation, stop = stop_] {
        const auto send = [this, generation](std::vector<std::string> batch, bool last) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, batch = std::move(batch), last]() mutable {
                    arrived(generation, std::move(batch), last);
                },
                Qt::QueuedConnection);
        };
        std::vector<std::string> listed = quickopen::listedFiles(root);
        const std::set<std::string> seen(listed.begin(), listed.end());
        send(std::move(listed), false);
        quickopen::FileWalk walk(root);
        while (!*stop) {
            std::vector<std::string> batch = walk.next(kBatch);
            if (batch.empty())
                break;
            std::erase_if(batch, [&seen](const std::string &path) { return seen.contains(path); });
            send(std::move(batch), false);
        }
        send({}, true);
    });
}

void QuickOpen::stopListing()
{
    if (stop_)
        *stop_ = true;
    if (walker_.joinable())
        walker_.join();
}

void QuickOpen::arrived(unsigned generation, std::vector<std::string> batch, bool last)
{
    if (generation != generation_)
        return;
    files_.insert(files_.end(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
    listed_ = last;
    if (last)
        refilter();
    else if (!refilterSoon_.isActive())
        refilterSoon_.start();
}

void QuickOpen::refilter()
{
    refilterSoon_.stop();
    const QString typed = filter_->text();
    const quickopen::Ranked ranked = quickopen::rankMatches(files_, QFile::encodeName(typed).toStdString(), kShownRows);
    matches_->setUpdatesEnabled(false);
    matches_->clear();
    for (std::size_t index : ranked.best) {
        auto *item = new QListWidgetItem(displayText(files_[index]), matches_);
        item->setData(Qt::UserRole, static_cast<qulonglong>(index));
    }
    matches_->setCurrentRow(0);
    matches_->setUpdatesEnabled(true);
    QString count = QStringLiteral("%1 of %2 files").arg(ranked.matches).arg(files_.size());
    if (!listed_)
        count += QStringLiteral(", listing…");
    count_->setText(count);
}

void QuickOpen::openChosen()
{
    const QListWidgetItem *chosen = matches_->currentItem();
    if (!chosen)
        return;
    const std::string &file = files_[chosen->data(Qt::UserRole).toULongLong()];
    const std::string path = file.starts_with('/') ? file : paths::join(root_, file);
    dismiss();
    if (quickopen::opensForEditing(path))
        workbench_.openForEdit(path);
    else
        workbench_.showInGeneralPane(path);
}

bool QuickOpen::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
        place();
    if (watched != filter_ || event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Escape:
        dismiss();
        if (before_)
            before_->setFocus(Qt::OtherFocusReason);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        runGuarded([this] { openChosen(); });
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        QCoreApplication::sendEvent(matches_, event);
        return true;
    default:
        return QFrame::eventFilter(watched, event);
    }
}

} // namespace vardo
