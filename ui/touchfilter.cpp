#include "touchfilter.h"

#include <QMouseEvent>
#include <QTimer>

bool TouchFilter::eventFilter(QObject* watched, QEvent* event) {
    // Only what reaches the top-level windows from the window system; the same
    // touch delivered on to widgets is not counted twice.
    if (!watched->isWindowType())
        return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::TouchBegin:
            return handleTouch(true);
        case QEvent::MouseMove:
            // a finger moving on the glass is still a press
            return handleTouch(static_cast<QMouseEvent*>(event)->buttons() != Qt::NoButton);
        case QEvent::TouchUpdate:
            return handleTouch(true);
        case QEvent::MouseButtonRelease:
        case QEvent::TouchEnd:
            return handleTouch(false);
        default:
            return false;
    }
}

bool TouchFilter::handleTouch(bool press) {
    if (m_target.hasCameraFamily()) {
        if (!press)
            return false;
    } else if (press) {
        QTimer& t = m_target.touchCalibrationTimer();
        if (!t.isActive() && !m_target.calibrationArmed())
            t.start(3000);
    } else {
        if (m_target.calibrationArmed())
            m_target.runTouchCalibration();
        else
            m_target.touchCalibrationTimer().stop();
        return false;
    }
    m_target.restartIdleTimers();
    if (m_target.isScreenOff()) {
        m_target.wakeScreen();
        return true;
    }
    return false;
}
