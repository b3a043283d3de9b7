#include "editbox.h"
#include "editdatetime.h"
#include "editip.h"
#include "globals.h"
#include "simplewidgets.h"
#include "slider.h"
#include "touchscreen.h"

#include <gtest/gtest.h>
#include <QDateEdit>
#include <QLabel>
#include <QSignalSpy>
#include <QTimeEdit>

namespace {

struct TypingCase {
    int minimum, maximum;
    bool allowZero;
    int kind, scale;
    const char* digits;
    std::vector<const char*> shown;  // the field after each digit
    int value;
};

class EditBoxTyping : public ::testing::TestWithParam<TypingCase> {};

TEST_P(EditBoxTyping, KeypadDigitsBuildTheValueWithinRange) {
    const TypingCase& c = GetParam();
    TouchScreen screen;
    EditBox box(*screen.keys, c.minimum, c.maximum, screen.window.get(), QStringLiteral("Delay"),
                QString(), c.kind, c.scale);
    box.setAllowZero(c.allowZero);
    box.move(20, 20);
    box.setValue(c.minimum);
    ASSERT_TRUE(screen.show());

    TouchScreen::tap(box.field());
    ASSERT_TRUE(screen.keypad().isVisible());
    EXPECT_EQ(screen.keys->currentEdit(), box.field());
    EXPECT_TRUE(box.field()->text().isEmpty()) << "opening the keypad empties the field";
    const QString digits = QString::fromLatin1(c.digits);
    for (int i = 0; i < digits.size(); ++i) {
        screen.typeDigits(digits.mid(i, 1));
        EXPECT_EQ(box.field()->text(), QString::fromLatin1(c.shown[i])) << "after digit " << i;
    }
    EXPECT_EQ(box.value(), c.value);
    TouchScreen::tap(screen.keypad().confirmKey());
    EXPECT_FALSE(screen.keypad().isVisible());
    EXPECT_EQ(box.value(), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EditBoxTyping,
    ::testing::Values(TypingCase{0, 100, false, 0, 1, "150", {"1", "15", "100"}, 100},
                      TypingCase{1, 100, true, 0, 1, "0", {"0"}, 0},   // allowed zero
                      TypingCase{1, 100, false, 0, 1, "0", {"1"}, 1},  // zero raised
                      TypingCase{1, 100, true, 0, 1, "05", {"0", "5"}, 5},
                      TypingCase{0, 1000, false, 2, 10, "15", {"0.1", "1.5"}, 15},
                      TypingCase{10, 99, false, 0, 1, "12", {"10", "99"}, 99}));

struct StepCase {
    int minimum, maximum;
    bool allowZero;
    int start;
    int button;  // 0: -5, 1: -1, 2: +1, 3: +5
    int expected;
};

class EditBoxSteps : public ::testing::TestWithParam<StepCase> {};

TEST_P(EditBoxSteps, StepButtonsRunTheRangeCheck) {
    const StepCase& c = GetParam();
    TouchScreen screen;
    EditBox box(*screen.keys, c.minimum, c.maximum, screen.window.get(), QStringLiteral("T"));
    box.setAllowZero(c.allowZero);
    box.setValue(c.start);
    ASSERT_TRUE(screen.show());
    QSignalSpy changed(&box, &EditBox::valueChanged);
    TouchScreen::tap(box.stepButton(c.button));
    EXPECT_EQ(box.value(), c.expected);
    EXPECT_EQ(box.field()->text(), QString::number(c.expected));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toInt(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, EditBoxSteps,
                         ::testing::Values(StepCase{1, 100, true, 3, 0, 1},  // -2 raised to 1
                                           StepCase{1, 100, true, 1, 1, 0},  // lands on 0: spared
                                           StepCase{1, 100, false, 1, 1, 1},
                                           StepCase{0, 100, false, 98, 3, 100},
                                           StepCase{0, 100, false, 98, 2, 99},
                                           StepCase{-10, 10, false, -8, 0, -10},
                                           StepCase{0, 100, false, 50, 0, 45}));

TEST(EditBox, StepCaptionsFollowTheScale) {
    TouchScreen screen;
    EditBox plain(*screen.keys, 0, 10, screen.window.get());
    EditBox tenths(*screen.keys, 0, 10, screen.window.get(), QString(), QString(), 2, 10);
    QStringList captions;
    for (int i = 0; i < 4; ++i)
        captions << plain.stepButton(i)->text() << tenths.stepButton(i)->text();
    EXPECT_EQ(captions,
              (QStringList{"- 5", "- 0.5", "- 1", "- 0.1", "+ 1", "+ 0.1", "+ 5", "+ 0.5"}));
    EXPECT_TRUE(plain.stepButton(0)->autoRepeat());
    EXPECT_EQ(plain.stepButton(0)->autoRepeatDelay(), 300);
    EXPECT_EQ(plain.stepButton(3)->autoRepeatInterval(), 50);
}

TEST(EditBox, ConfirmWithoutTypingRestoresTheOldValue) {
    TouchScreen screen;
    EditBox box(*screen.keys, 0, 100, screen.window.get(), QStringLiteral("T"),
                QStringLiteral("ms"));
    box.setValue(42);
    ASSERT_TRUE(screen.show());
    TouchScreen::tap(box.field());
    EXPECT_TRUE(box.field()->text().isEmpty());
    TouchScreen::tap(screen.keypad().confirmKey());
    EXPECT_EQ(box.field()->text(), QStringLiteral("42"));
    EXPECT_EQ(box.value(), 42);
    EXPECT_EQ(screen.keys->currentEdit(), nullptr);
    ASSERT_NE(box.field()->unitLabel(), nullptr);
    EXPECT_EQ(box.field()->unitLabel()->text(), QStringLiteral("ms"));
}

TEST(EditBox, BackspaceChangesOnlyTheText) {
    TouchScreen screen;
    EditBox box(*screen.keys, 0, 1000, screen.window.get(), QStringLiteral("T"));
    box.setValue(5);
    ASSERT_TRUE(screen.show());
    TouchScreen::tap(box.field());
    screen.typeDigits(QStringLiteral("12"));
    TouchScreen::tap(screen.keypad().backspaceKey());
    EXPECT_EQ(box.field()->text(), QStringLiteral("1"));
    EXPECT_EQ(box.value(), 12);
    TouchScreen::tap(screen.keypad().backspaceKey());
    EXPECT_TRUE(screen.keypad().fresh()) << "an emptied field starts a new entry";
    screen.typeDigits(QStringLiteral("7"));
    EXPECT_EQ(box.value(), 7);
}

TEST(EditBox, SampleShowHidesTheStepButtons) {
    TouchScreen screen;
    EditBox box(*screen.keys, 0, 10, screen.window.get(), QStringLiteral("T"));
    ASSERT_TRUE(screen.show());
    box.setSampleShow();
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(box.stepButton(i)->isVisible());
}

TEST(EditIP, TypedOctetsAreClampedAndEmptiedOnesShowZero) {
    TouchScreen screen;
    EditIP ip(*screen.keys, QStringLiteral("IP"), screen.window.get());
    ip.move(10, 10);
    ip.setText(QStringLiteral("192.168.1.10"));
    ASSERT_TRUE(screen.show());
    QSignalSpy changed(&ip, &EditIP::textchange);

    TouchScreen::tap(ip.octet(2));
    ASSERT_TRUE(screen.keypad().isVisible());
    EXPECT_EQ(ip.octet(2)->text(), QStringLiteral("0")) << "the emptied field shows 0";
    screen.typeDigits(QStringLiteral("300"));
    EXPECT_EQ(ip.octet(2)->text(), QStringLiteral("255"));
    EXPECT_EQ(ip.text(), QStringLiteral("192.168.255.10"));
    ASSERT_FALSE(changed.isEmpty());
    EXPECT_EQ(changed.last().at(0).toString(), QStringLiteral("192.168.255.10"));
    EXPECT_EQ(ip.composedText(), QStringLiteral("192.168.255.10"));
}

TEST(EditIP, FifthPartLandsInTheLastFieldAndLeadingZerosReadBack) {
    TouchScreen screen;
    EditIP ip(*screen.keys, QStringLiteral("IP"), screen.window.get());
    ip.setText(QStringLiteral("1.2.3.4.5"));
    EXPECT_EQ(ip.text(), QStringLiteral("1.2.3.5"));
    ip.setText(QStringLiteral("010.0.0.1"));
    EXPECT_EQ(ip.text(), QStringLiteral("10.0.0.1"));
}

TEST(EditIP, DotKeyMovesToTheNextField) {
    TouchScreen screen;
    EditIP ip(*screen.keys, QStringLiteral("IP"), screen.window.get());
    ip.setText(QStringLiteral("10.1.2.3"));
    ASSERT_TRUE(screen.show());
    ip.octet(0)->setFocus();
    QTest::keyClick(ip.octet(0), Qt::Key_Period);
    EXPECT_EQ(ip.octet(1)->text(), QStringLiteral("0"));
    EXPECT_TRUE(ip.octet(1)->hasFocus());
}

TEST(EditDateTime, ShowsTheGivenMoment) {
    TouchScreen screen(false);
    const QDateTime t(QDate(2026, 5, 4), QTime(13, 2, 1));
    EditDateTime dt(QStringLiteral("Time"), screen.window.get(), t);
    EXPECT_EQ(dt.dateEdit()->text(), QStringLiteral("2026-05-04"));
    EXPECT_EQ(dt.timeEdit()->text(), QStringLiteral("13:02:01"));
    dt.refresh(t.addDays(1));
    EXPECT_EQ(dt.dateEdit()->date(), QDate(2026, 5, 5));
}

TEST(CheckBox, CheckedOnlyWhenFullyChecked) {
    TouchScreen screen;
    CheckBox box(QStringLiteral("x"), screen.window.get());
    box.setTristate(true);
    box.setCheckState(Qt::PartiallyChecked);
    EXPECT_FALSE(box.isCheckedFully());
    box.setCheckedState(true);
    EXPECT_TRUE(box.isCheckedFully());
    box.setCheckedState(false);
    EXPECT_EQ(box.checkState(), Qt::Unchecked);
}

TEST(LabelAndCombo, ReportPresses) {
    TouchScreen screen;
    Label label(screen.window.get());
    label.resize(40, 40);
    ComboBox combo(screen.window.get());
    combo.move(100, 0);
    combo.addItems({QStringLiteral("a"), QStringLiteral("b")});
    ASSERT_TRUE(screen.show());
    QSignalSpy labelClicks(&label, &Label::clicked);
    QSignalSpy comboClicks(&combo, &ComboBox::clicked);
    TouchScreen::tap(&label);
    QTest::mousePress(&combo, Qt::LeftButton);
    EXPECT_EQ(labelClicks.count(), 1);
    EXPECT_EQ(comboClicks.count(), 1);
    EXPECT_EQ(combo.focusPolicy(), Qt::NoFocus);
    combo.hidePopup();
}

TEST(Slider, StepsClampAndReconfigure) {
    TouchScreen screen;
    Slider slider(*screen.keys, 0, 10, 1, 9, screen.window.get(), QStringLiteral("Gain"));
    slider.setGeometry(0, 100, 900, 60);
    ASSERT_TRUE(screen.show());
    QSignalSpy changed(&slider, &QAbstractSlider::valueChanged);
    TouchScreen::tap(slider.addButton());
    TouchScreen::tap(slider.addButton());
    EXPECT_EQ(slider.value(), 10);
    TouchScreen::tap(slider.subButton());
    EXPECT_EQ(slider.value(), 9);
    EXPECT_EQ(changed.count(), 2);
    slider.SetText(QStringLiteral("400"));
    EXPECT_EQ(slider.value(), 10);
    slider.reconfigure(100, 100, 5, 100, QStringLiteral("Fixed"));
    EXPECT_EQ(slider.objectName(), QStringLiteral("Fixed"));
    EXPECT_FALSE(slider.grab().isNull()) << "a slider without span paints";
}

TEST(Slider, TouchOnTheValueBoxOpensTheKeypad) {
    TouchScreen screen;
    Slider slider(*screen.keys, 0, 200, 1, 50, screen.window.get(), QStringLiteral("Gain"));
    slider.setGeometry(0, 100, 900, 60);
    ASSERT_TRUE(screen.show());
    QTest::mouseClick(&slider, Qt::LeftButton, {}, slider.valueBox().center());
    ASSERT_TRUE(screen.keypad().isVisible());
    EXPECT_EQ(slider.value(), 50) << "opening the keypad keeps the value";
    screen.typeDigits(QStringLiteral("123"));
    EXPECT_EQ(slider.value(), 123);
}

TEST(Slider, DragMovesTheHandle) {
    TouchScreen screen;
    Slider slider(*screen.keys, 0, 100, 1, 0, screen.window.get(), QStringLiteral("Gain"));
    slider.setGeometry(0, 100, 900, 60);
    ASSERT_TRUE(screen.show());
    slider.grab();  // paints, which places the handle
    const QPoint handle = slider.handleRect().center();
    QTest::mousePress(&slider, Qt::LeftButton, {}, handle);
    QTest::mouseMove(&slider, handle + QPoint(slider.usableTrack() / 2, 0));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, handle + QPoint(slider.usableTrack() / 2, 0));
    EXPECT_NEAR(slider.value(), 50, 1);
}

}  // namespace

namespace {

TEST(EditBox, GeometryOfBothLayouts) {
    for (bool large : {true, false}) {
        TouchScreen screen(large);
        EditBox box(*screen.keys, 0, 10, screen.window.get(), QStringLiteral("T"));
        box.adjustSize();
        EXPECT_EQ(box.titleLabel()->size(), large ? QSize(160, 50) : QSize(65, 28));
        EXPECT_EQ(box.stepButton(0)->size(), large ? QSize(127, 50) : QSize(40, 28));
        EXPECT_EQ(box.field()->size(), large ? QSize(137, 50) : QSize(50, 28));
        EXPECT_EQ(box.stepButton(0)->sizeClass(), 4);
        const int spacing = large ? 10 : 5;
        EXPECT_EQ(box.stepButton(1)->x(), box.stepButton(0)->geometry().right() + 1 + spacing);
    }
}

TEST(EditBox, LongTitleIsDrawnSmallerRatherThanCut) {
    TouchScreen screen;
    EditBox box(*screen.keys, 0, 10, screen.window.get(), QStringLiteral("T"));
    const int full = box.titleLabel()->font().pixelSize();
    box.setText(QStringLiteral("NG Redetect Times and more"));
    EXPECT_LT(box.titleLabel()->font().pixelSize(), full);
    box.setText(QStringLiteral("T"));
    EXPECT_EQ(box.titleLabel()->font().pixelSize(), full);
}

TEST(ColorButton, PictureFormHasNoCaptionAndSizeClassThree) {
    TouchScreen screen;
    QPixmap picture(10, 10);
    picture.fill(Qt::red);
    ColorButton b(picture, screen.window.get());
    EXPECT_TRUE(b.text().isEmpty());
    EXPECT_EQ(b.sizeClass(), 3);
    EXPECT_TRUE(b.ownPicture());
    EXPECT_EQ(b.focusPolicy(), Qt::NoFocus);
    b.resize(40, 20);
    EXPECT_EQ(b.grab().toImage().pixelColor(20, 10), QColor(Qt::red));
}

TEST(ColorButton, CaptionSizeFollowsTheTableAndShrinksToFit) {
    const int saved = language;
    TouchScreen screen;
    ColorButton b(QStringLiteral("OK"), screen.window.get(), 4);
    b.resize(220, 100);
    language = 0;
    EXPECT_EQ(b.captionPixelSize(), 33);
    language = 1;
    EXPECT_EQ(b.captionPixelSize(), 30);
    b.setText(QStringLiteral("a caption far too long for it"));
    EXPECT_LT(b.captionPixelSize(), 30);
    language = saved;
}

}  // namespace

namespace {

TEST(EditBox, KeypadOpensOnTheScreenBelowTheBox) {
    for (bool large : {true, false}) {
        TouchScreen screen(large);
        auto* page = new QWidget(screen.window.get());
        page->setGeometry(screen.window->rect());
        EditBox box(*screen.keys, 0, 100, page, QStringLiteral("T"));
        box.move(30, 40);
        ASSERT_TRUE(screen.show());
        TouchScreen::tap(box.field());
        NumberInput& keypad = screen.keypad();
        ASSERT_TRUE(keypad.isVisible());
        EXPECT_EQ(keypad.parentWidget(), page) << "not clipped inside the box";
        const QPoint field = box.field()->mapTo(page, QPoint(0, 0));
        EXPECT_EQ(keypad.pos(), QPoint(field.x(), field.y() + box.field()->height() + 5));
    }
}

}  // namespace
