#pragma once

#include "doc/document.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

class QFrame;
class QLabel;
class QProgressBar;
class QWidget;

namespace vardo {

// Keeps the window alive during a long load on the one thread. A step serves the pending
// painting when some time has passed since the last; timers and sockets wait for the end. User input is held back
// meanwhile and handed on in its order once the load is over, as the system queues it for a
// busy program (so a double click begun before the load still arrives); only Esc is taken at
// once and cancels the load, and a request to close the window is answered by asking to
// cancel the load first. Once the load has taken half a second, a progress box shows over
// the window. Loads do not nest: an inner one only counts.
class BusyLoad : public QObject, public LoadProgress {
public:
    BusyLoad(QWidget *window, const QString &name);
    ~BusyLoad() override;
    BusyLoad(const BusyLoad &) = delete;
    BusyLoad &operator=(const BusyLoad &) = delete;

    // Reports how much is done (0 to 1) and serves events when due; throws LoadCancelled once
    // Esc was pressed.
    void step(double done) override;
    // From here on a step only serves painting: the load is being undone or finished.
    void stopCancelling() override { cancellable_ = false; }

    // The delays, for tests: progress shows after `showAfterMs`, events are served every
    // `serveEveryMs`. Negative values restore the defaults.
    static void setTiming(int showAfterMs, int serveEveryMs);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void serve(double done);
    void showBox();

    QPointer<QWidget> window_;
    QString name_;
    QElapsedTimer started_;
    QFrame *box_ = nullptr;
    QLabel *label_ = nullptr;
    QProgressBar *bar_ = nullptr;
    bool outermost_;
    bool cancelled_ = false;
    bool cancellable_ = true;
    bool closeAsked_ = false;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> heldBack_;
};

} // namespace vardo
