#include "touchfilter.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

class FakeTarget final : public TouchTarget {
public:
    bool cameras = false, armed = false, screenOff = false;
    int idleRestarts = 0, calibrations = 0, wakes = 0;
    QTimer timer;
    bool hasCameraFamily() const override { return cameras; }
    QTimer& touchCalibrationTimer() override { return timer; }
    bool calibrationArmed() const override { return armed; }
    void runTouchCalibration() override {
        armed = false;
        ++calibrations;
    }
    void restartIdleTimers() override { ++idleRestarts; }
    bool isScreenOff() const override { return screenOff; }
    void wakeScreen() override {
        screenOff = false;
        ++wakes;
    }
};

TEST(Touch, PressRestartsIdleTimersAndWakingTouchIsConsumed) {
    FakeTarget t;
    t.cameras = true;
    TouchFilter f(t);
    t.screenOff = true;
    EXPECT_TRUE(f.handleTouch(true));  // wakes the screen, goes no further
    EXPECT_EQ(t.wakes, 1);
    EXPECT_FALSE(f.handleTouch(true));  // the next press reaches the widgets
    EXPECT_EQ(t.idleRestarts, 2);
    EXPECT_FALSE(f.handleTouch(false));
    EXPECT_EQ(t.idleRestarts, 2);  // a release is not a touch
}

TEST(Touch, LongPressWithCamerasNeverCalibrates) {
    FakeTarget t;
    t.cameras = true;
    TouchFilter f(t);
    f.handleTouch(true);
    EXPECT_FALSE(t.timer.isActive());
    f.handleTouch(false);
    EXPECT_EQ(t.calibrations, 0);
}

TEST(Touch, WithoutCamerasLongPressThenReleaseCalibrates) {
    FakeTarget t;
    TouchFilter f(t);
    f.handleTouch(true);
    EXPECT_TRUE(t.timer.isActive());
    EXPECT_EQ(t.timer.interval(), 3000);
    f.handleTouch(false);  // released early: nothing happens
    EXPECT_FALSE(t.timer.isActive());
    EXPECT_EQ(t.calibrations, 0);

    f.handleTouch(true);
    t.timer.stop();
    t.armed = true;  // the 3-second timer fired while the finger stayed down
    f.handleTouch(true);
    EXPECT_FALSE(t.timer.isActive());
    f.handleTouch(false);
    EXPECT_EQ(t.calibrations, 1);
}

// Counts the presses that reach it.
class PressCounter : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

// Through the window system: the touch that wakes a dark screen never reaches a widget.
TEST(Touch, WakingTouchNeverReachesAWidget) {
    FakeTarget t;
    t.cameras = true;
    TouchFilter f(t);
    qApp->installEventFilter(&f);
    PressCounter w;
    w.resize(200, 200);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    t.screenOff = true;
    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(w.presses, 0);
    EXPECT_EQ(t.wakes, 1);
    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(w.presses, 1);
    EXPECT_EQ(t.idleRestarts, 2);
    qApp->removeEventFilter(&f);
}

}  // namespace
