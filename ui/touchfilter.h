#pragma once

#include <QObject>

class QTimer;

// What the touch handling needs from the main window.
class TouchTarget {
public:
    virtual ~TouchTarget() = default;
    virtual bool hasCameraFamily() const = 0;
    virtual QTimer& touchCalibrationTimer() = 0;
    virtual bool calibrationArmed() const = 0;
    virtual void runTouchCalibration() = 0;  // "./tsc", then reboot; disarms
    virtual void restartIdleTimers() = 0;    // auto-logout and screen-off
    virtual bool isScreenOff() const = 0;
    virtual void wakeScreen() = 0;
};

// Application-wide filter of touches as the window system delivers them:
// every press restarts the idle timers, the press that wakes a dark screen goes
// no further, and on a system without cameras a 3-second press followed by a
// release calibrates the touchscreen.
class TouchFilter : public QObject {
    Q_OBJECT
public:
    explicit TouchFilter(TouchTarget& target, QObject* parent = nullptr)
        : QObject(parent), m_target(target) {}
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The decision for one touch event: true consumes it.
    bool handleTouch(bool press);

private:
    TouchTarget& m_target;
};
