#include "panes/busyload.h"

#include <QApplication>
#include <algorithm>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace vardo {

namespace {

constexpr int kShowAfterMs = 500;
constexpr int kServeEveryMs = 40;

int gShowAfterMs = kShowAfterMs;
int gServeEveryMs = kServeEveryMs;
bool gLoading = false;

// When a load last let the window paint, and when the last load ended. One load may follow
// another with no turn of the event loop between (the preview of a double click, then its
// open): its time then counts on from the load before.
struct LoadClock {
    QElapsedTimer served;
    QElapsedTimer ended;
};

LoadClock &loadClock()
{
    static LoadClock clock;
    return clock;
}

// Input that is handed on after the load; other input (moves, drags, touches) is dropped.
bool isHeldBack(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

bool isDropped(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseMove:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

} // namespace

void BusyLoad::setTiming(int showAfterMs, int serveEveryMs)
{
    gShowAfterMs = showAfterMs < 0 ? kShowAfterMs : showAfterMs;
    gServeEveryMs = serveEveryMs < 0 ? kServeEveryMs : serveEveryMs;
}

BusyLoad::BusyLoad(QWidget *window, const QString &name)
    : window_(window), name_(name), outermost_(!gLoading)
{
    started_.start();
    if (!outermost_)
        return;
    LoadClock &clock = loadClock();
    if (!clock.ended.isValid() || clock.ended.elapsed() >= gServeEveryMs)
        clock.served.start();
    gLoading = true;
    qApp->installEventFilter(this);
}

BusyLoad::~BusyLoad()
{
    if (!outermost_)
        return;
    qApp->removeEventFilter(this);
    delete box_;
    gLoading = false;
    loadClock().ended.start();
    for (auto &[receiver, event] : heldBack_) {
        if (receiver)
            QCoreApplication::postEvent(receiver, event.release());
    }
}

void BusyLoad::step(double done)
{
    if (!outermost_ || loadClock().served.elapsed() < gServeEveryMs)
        return;
    serve(done);
    if (cancelled_ && cancellable_)
        throw LoadCancelled();
}

void BusyLoad::serve(double done)
{
    if (started_.elapsed() >= gShowAfterMs || closeAsked_) {
        showBox();
        bar_->setValue(static_cast<int>(done * 100));
        label_->setText(closeAsked_ ? QStringLiteral("Press Esc to stop loading %1 before closing.").arg(name_)
                                    : QStringLiteral("Loading %1 (Esc cancels)").arg(name_));
    }
    // Painting only: timers and sockets wait too, or work that follows every change of the
    // text would run again and again on the half-loaded text.
    QCoreApplication::processEvents(QEventLoop::X11ExcludeTimers | QEventLoop::ExcludeSocketNotifiers);
    loadClock().served.restart();
}

void BusyLoad::showBox()
{
    if (box_ || !window_)
        return;
    box_ = new QFrame(window_);
    box_->setObjectName(QStringLiteral("loadProgress"));
    box_->setFrameShape(QFrame::Box);
    box_->setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(box_);
    label_ = new QLabel(box_);
    bar_ = new QProgressBar(box_);
    bar_->setRange(0, 100);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    const int width = std::min(window_->width(), 420);
    box_->resize(width, box_->sizeHint().height());
    box_->move((window_->width() - width) / 2, (window_->height() - box_->height()) / 2);
    box_->show();
    box_->raise();
}

bool BusyLoad::eventFilter(QObject *receiver, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        cancelled_ = true;
        return true;
    }
    if (event->type() == QEvent::Close) {
        closeAsked_ = true;
        event->ignore();
        return true;
    }
    if (isHeldBack(event->type())) {
        heldBack_.emplace_back(receiver, std::unique_ptr<QEvent>(event->clone()));
        return true;
    }
    return isDropped(event->type());
}

} // namespace vardo
