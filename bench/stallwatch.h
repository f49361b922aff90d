#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>

// Keeps `longest` at the longest the event loop went without a turn while the watch lives.
class StallWatch {
public:
    explicit StallWatch(double &longest) : longest_(longest)
    {
        sinceTick_.start();
        QObject::connect(&ticker_, &QTimer::timeout, [this] {
            note();
            sinceTick_.restart();
        });
        ticker_.start(1);
    }
    // Counts the time since the last turn, as when work ends without one.
    void note() { longest_ = std::max(longest_, static_cast<double>(sinceTick_.nsecsElapsed()) / 1e6); }

private:
    double &longest_;
    QElapsedTimer sinceTick_;
    QTimer ticker_;
};
