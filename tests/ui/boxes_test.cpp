#include "globals.h"
#include "panellamps.h"
#include "platform.h"
#include "sharedboxes.h"
#include "systemparams.h"
#include "touchscreen.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QSignalSpy>
#include <QTimer>

namespace {

constexpr int kMsgEnterPassword = 1248, kMsgWrongPassword = 1249;
const QDateTime kNow(QDate(2026, 3, 14), QTime(9, 26));

// A panel with the shared password box and the time of day under test control.
struct PasswordPanel {
    explicit PasswordPanel(bool large = true) : screen(large), clock(kNow) {
        params.password = QByteArray("1234");
    }
    TouchScreen screen;
    SystemParams params;
    FakeClock clock;
    AccessLevel level;

    // Shows a box and waits until it takes the touches.
    static bool showBox(QDialog& box) {
        box.show();
        box.activateWindow();
        return QTest::qWaitFor([&] { return QApplication::activeWindow() == &box; });
    }

    // Taps the field, types on the keypad and presses the keypad's confirm.
    void enter(PasswordBox& box, const QString& digits) const {
        TouchScreen::tap(box.field());
        screen.typeDigits(digits);
        TouchScreen::tap(screen.keypad().confirmKey());
    }
};

struct LevelCase {
    bool protectedParams;
    const char* entered;  // "#": the service code of the hour
    bool dialog;
    int level;
    bool accepted;
};

class PasswordEntry : public ::testing::TestWithParam<LevelCase> {};

TEST_P(PasswordEntry, GrantsTheLevelOfTheTypedPassword) {
    const LevelCase& c = GetParam();
    PasswordPanel panel;
    panel.params.is_psw_used = c.protectedParams ? 1 : 0;
    const QString entered = QString::fromLatin1(c.entered) == QStringLiteral("#")
                                ? serviceCode(kNow)
                                : QString::fromLatin1(c.entered);
    std::unique_ptr<PasswordBox> box;
    PasswordDialog* dialog = nullptr;
    if (c.dialog) {
        auto d = std::make_unique<PasswordDialog>(*panel.screen.keys, panel.params, panel.clock,
                                                  panel.screen.window.get());
        dialog = d.get();
        box = std::move(d);
    } else {
        panel.level.set(1);
        box = std::make_unique<PasswordBox>(*panel.screen.keys, panel.params, panel.clock,
                                            &panel.level, panel.screen.window.get());
    }
    ASSERT_TRUE(panel.screen.show());
    ASSERT_TRUE(PasswordPanel::showBox(*box));
    panel.enter(*box, entered);
    EXPECT_EQ(box->isVisible(), !c.accepted);
    EXPECT_EQ(box->result() == QDialog::Accepted, c.accepted);
    if (c.dialog) {
        EXPECT_EQ(dialog->granted(), c.level);
        EXPECT_EQ(panel.level.level(), 0) << "the dialog leaves the window's level alone";
    } else {
        EXPECT_EQ(panel.level.level(), c.level);
    }
    if (!c.accepted) {
        EXPECT_TRUE(box->field()->text().isEmpty());
        EXPECT_EQ(box->field()->placeholderText(), tx(kMsgWrongPassword));
        box->reject();
    }
    EXPECT_FALSE(panel.screen.keypad().isVisible());
}

INSTANTIATE_TEST_SUITE_P(Table, PasswordEntry,
                         ::testing::Values(LevelCase{false, "5728", false, 2, true},
                                           LevelCase{false, "5728", true, 0, false},
                                           LevelCase{true, "5728", false, 0, false},
                                           LevelCase{true, "#", false, 2, true},
                                           LevelCase{false, "#", true, 2, true},
                                           LevelCase{false, "1234", false, 1, true},
                                           LevelCase{false, "1234", true, 1, true},
                                           LevelCase{false, "4321", false, 0, false},
                                           LevelCase{false, "", false, 0, false}));

TEST(PasswordBox, UserPasswordEqualToServicePasswordGrantsService) {
    PasswordPanel panel;
    panel.params.password = QByteArray("5728");
    PasswordBox box(*panel.screen.keys, panel.params, panel.clock, &panel.level,
                    panel.screen.window.get());
    ASSERT_TRUE(panel.screen.show());
    ASSERT_TRUE(PasswordPanel::showBox(box));
    panel.enter(box, QStringLiteral("5728"));
    EXPECT_EQ(panel.level.level(), 2);
}

TEST(PasswordBox, ServiceCodeOfAnotherHourIsWrong) {
    PasswordPanel panel;
    panel.params.is_psw_used = 1;
    PasswordBox box(*panel.screen.keys, panel.params, panel.clock, &panel.level,
                    panel.screen.window.get());
    ASSERT_TRUE(panel.screen.show());
    ASSERT_TRUE(PasswordPanel::showBox(box));
    const QString code = serviceCode(kNow);
    panel.clock.advanceMs(3600 * 1000);
    panel.enter(box, code);
    EXPECT_EQ(panel.level.level(), 0);
    EXPECT_TRUE(box.isVisible());
    box.reject();
}

TEST(PasswordBox, FailurePlaceholderShowsOnceAfterAWrongEntry) {
    PasswordPanel panel;
    PasswordBox box(*panel.screen.keys, panel.params, panel.clock, &panel.level,
                    panel.screen.window.get());
    ASSERT_TRUE(panel.screen.show());
    ASSERT_TRUE(PasswordPanel::showBox(box));
    EXPECT_EQ(box.field()->placeholderText(), tx(kMsgEnterPassword));
    panel.enter(box, QStringLiteral("99"));
    EXPECT_EQ(box.failedMarker(), 2);
    EXPECT_EQ(box.field()->placeholderText(), tx(kMsgWrongPassword));

    // the keypad was hidden by the confirm; open it again and type, then delete
    TouchScreen::tap(box.field());
    panel.screen.typeDigits(QStringLiteral("3"));
    EXPECT_TRUE(box.field()->placeholderText().isEmpty());
    TouchScreen::tap(panel.screen.keypad().backspaceKey());
    EXPECT_EQ(box.field()->placeholderText(), tx(kMsgWrongPassword));
    EXPECT_EQ(box.failedMarker(), 0);
    panel.screen.typeDigits(QStringLiteral("4"));
    TouchScreen::tap(panel.screen.keypad().backspaceKey());
    EXPECT_EQ(box.field()->placeholderText(), tx(kMsgEnterPassword));
    box.reject();
}

TEST(PasswordBox, TapBesideTheFieldSubmits) {
    PasswordPanel panel;
    PasswordBox box(*panel.screen.keys, panel.params, panel.clock, &panel.level,
                    panel.screen.window.get());
    ASSERT_TRUE(panel.screen.show());
    ASSERT_TRUE(PasswordPanel::showBox(box));
    TouchScreen::tap(box.field());
    panel.screen.typeDigits(QStringLiteral("1234"));
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(panel.level.level(), 1);
}

TEST(PasswordBox, ExecReturnsAcceptedAfterTheRightPassword) {
    PasswordPanel panel(false);
    PasswordBox box(*panel.screen.keys, panel.params, panel.clock, &panel.level,
                    panel.screen.window.get());
    ASSERT_TRUE(panel.screen.show());
    bool typed = false;
    QTimer::singleShot(0, &box, [&] {
        if (PasswordPanel::showBox(box))
            panel.enter(box, QStringLiteral("1234"));
        typed = true;
        if (box.isVisible())
            box.reject();  // never leave the test waiting
    });
    QTimer::singleShot(5000, &box, &QDialog::reject);
    EXPECT_EQ(box.exec(), QDialog::Accepted);
    EXPECT_TRUE(typed);
    EXPECT_EQ(box.size(), QSize(420, 240));
    EXPECT_EQ(panel.level.level(), 1);
}

TEST(PasswordDialog, ShowingAgainClearsTheGrant) {
    PasswordPanel panel;
    PasswordDialog dialog(*panel.screen.keys, panel.params, panel.clock, panel.screen.window.get());
    ASSERT_TRUE(panel.screen.show());
    ASSERT_TRUE(PasswordPanel::showBox(dialog));
    panel.enter(dialog, QStringLiteral("1234"));
    EXPECT_EQ(dialog.granted(), 1);
    dialog.show();
    EXPECT_EQ(dialog.granted(), 0);
    EXPECT_TRUE(dialog.field()->text().isEmpty());
    dialog.reject();
}

TEST(LostComWarnBox, ComesBackWhileTheLinkIsDown) {
    TouchScreen screen;
    bool lost = true;
    LostComWarnBox box(screen.window.get());
    box.setLinkLost([&] { return lost; });
    box.setText(gText[589][language]);
    box.show();
    TouchScreen::tap(box.confirmButton());
    QCoreApplication::processEvents();
    EXPECT_TRUE(box.isVisible());
    lost = false;
    TouchScreen::tap(box.confirmButton());
    QCoreApplication::processEvents();
    EXPECT_FALSE(box.isVisible());
}

TEST(LostCameraWarnBox, ShutsDownOnlyWhileTheCameraIsLost) {
    TouchScreen screen;
    RecordingCommandRunner commands;
    FakeClock clock(kNow);
    bool lost = false;
    QStringList records;
    int flushes = 0;
    LostCameraShutdown shutdown(
        commands, clock, [&] { return lost; }, [&](const QString& r) { records << r; },
        [&] { ++flushes; });
    LostCameraWarnBox box(screen.window.get());
    box.setShutdown(&shutdown);
    EXPECT_EQ(box.confirmButton()->text(), tx(1239));

    box.show();
    TouchScreen::tap(box.confirmButton());
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);
    EXPECT_TRUE(commands.commands().isEmpty()) << "the camera came back: only closes";

    lost = true;
    box.show();
    TouchScreen::tap(box.confirmButton());
    EXPECT_EQ(commands.commands(), QStringList{QStringLiteral("init 0")});
    EXPECT_EQ(records, QStringList{QStringLiteral("因丢失相机手动关闭电源")});
    EXPECT_EQ(flushes, 1);
    EXPECT_EQ(clock.now(), kNow.addMSecs(2000));
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST(TimingWarnBox, HidingEndsTheTimedAlarm) {
    TouchScreen screen;
    TimingWarnBox box(screen.window.get());
    QSignalSpy ended(&box, &TimingWarnBox::timedAlarmEnded);
    EXPECT_EQ(box.text(), QStringLiteral("定时报警时间到"));
    box.show();
    TouchScreen::tap(box.confirmButton());
    EXPECT_EQ(ended.count(), 1);
}

TEST(WarnBox, WakesADarkScreenAndRestartsTheScreenSaver) {
    TouchScreen screen;
    RecordingLedDevice led;
    PanelLamps lamps(led);
    SystemParams params;
    params.location_level = 30;
    QTimer saver;
    saver.setSingleShot(true);
    ScreenWake wake(lamps, saver, params);
    WarnBox box(screen.window.get());
    box.setScreenWake(&wake);

    box.show();
    EXPECT_FALSE(saver.isActive()) << "a lit screen is left alone";
    box.hide();
    lamps.screenOff();
    box.show();
    EXPECT_FALSE(lamps.isScreenOff());
    EXPECT_TRUE(saver.isActive());
    EXPECT_EQ(saver.interval(), 30000);
    box.hide();

    params.location_level = 0;
    saver.stop();
    lamps.screenOff();
    box.show();
    EXPECT_FALSE(lamps.isScreenOff());
    EXPECT_FALSE(saver.isActive()) << "no screen saver when \"Scr Off\" is 0";
    box.hide();
}

TEST(WarnBox, ExecEndsOnConfirmAndIsCentred) {
    for (bool large : {true, false}) {
        TouchScreen screen(large);
        WarnBox box(screen.window.get());
        box.setText(QStringLiteral("x"));
        QTimer::singleShot(0, &box, [&] { TouchScreen::tap(box.confirmButton()); });
        QTimer::singleShot(5000, &box, &QDialog::reject);
        EXPECT_EQ(box.exec(), QDialog::Accepted);
        const QSize size = large ? QSize(750, 370) : QSize(420, 180);
        EXPECT_EQ(box.geometry(), QRect(QPoint((displaySize().width - size.width()) / 2,
                                               (displaySize().height - size.height()) / 2),
                                        size));
    }
}

TEST(WarnBox, ClosingAnyWayAccepts) {
    TouchScreen screen;
    WarnBox box(screen.window.get());
    QTimer::singleShot(0, &box, &QDialog::reject);
    QTimer::singleShot(5000, &box, &QDialog::accept);
    EXPECT_EQ(box.exec(), QDialog::Accepted);
}

TEST(WarnBoxKinds, CarryTheirFixedTextsAndCaptions) {
    TouchScreen screen;
    ReconnectCameraWarnBox reconnect(screen.window.get());
    LostCameraWarnBox lost(screen.window.get());
    EXPECT_EQ(reconnect.text(), gText[1237][language]);
    EXPECT_EQ(reconnect.confirmButton()->text(), tx(121));
    EXPECT_EQ(lost.text(), gText[1238][language]);
}

TEST(ChooseBox, YesAcceptsNoRejects) {
    TouchScreen screen;
    ChooseBox box(screen.window.get());
    QTimer::singleShot(0, &box, [&] { TouchScreen::tap(box.noButton()); });
    QTimer::singleShot(5000, &box, &QDialog::accept);
    EXPECT_EQ(box.exec(), QDialog::Rejected);
    QTimer::singleShot(0, &box, [&] { TouchScreen::tap(box.yesButton()); });
    QTimer::singleShot(5000, &box, &QDialog::reject);
    EXPECT_EQ(box.exec(), QDialog::Accepted);
}

TEST(SharedBoxes, OneOfEachHiddenAndParentedToTheWindow) {
    PasswordPanel panel;
    SharedBoxes boxes(panel.screen.window.get(), *panel.screen.keys, panel.params, panel.clock,
                      panel.level);
    for (QWidget* box : std::initializer_list<QWidget*>{boxes.warn, boxes.timing, boxes.lostCamera,
                                                        boxes.reconnectCamera, boxes.lostCom,
                                                        boxes.choose, boxes.password}) {
        EXPECT_EQ(box->parentWidget(), panel.screen.window.get());
        EXPECT_FALSE(box->isVisible());
    }
    EXPECT_TRUE(boxes.choose->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST(SharedBoxes, DetachedBoxesNoLongerReachTheWindow) {
    PasswordPanel panel;
    SharedBoxes boxes(panel.screen.window.get(), *panel.screen.keys, panel.params, panel.clock,
                      panel.level);
    int ended = 0;
    QObject::connect(boxes.timing, &TimingWarnBox::timedAlarmEnded, [&] { ++ended; });
    bool asked = false;
    boxes.lostCom->setLinkLost([&] {
        asked = true;
        return true;
    });
    boxes.detach();
    boxes.timing->show();
    boxes.timing->hide();
    boxes.lostCom->show();
    boxes.lostCom->hide();
    QCoreApplication::processEvents();
    EXPECT_EQ(ended, 0);
    EXPECT_FALSE(asked);
    EXPECT_FALSE(boxes.lostCom->isVisible());
}

}  // namespace
