#include "globals.h"
#include "touchscreen.h"

#include <gtest/gtest.h>

namespace {

// A screen of the main window with a field on it.
struct FieldOnScreen {
    explicit FieldOnScreen(TouchScreen& screen, int flags, QRect geometry)
        : page(new QWidget(screen.window.get())), edit(new Edit(*screen.keys, flags, page)) {
        page->setGeometry(screen.window->rect());
        edit->setGeometry(geometry);
        edit->setFocusPolicy(Qt::StrongFocus);
    }
    QWidget* page;
    Edit* edit;
};

struct PagingCase {
    const char* presses;  // t: toggle key, c: case key
    const char* row1;     // keys 11..20 afterwards
    int toggleCaption, caseCaption;
};

class FullKeyboardPaging : public ::testing::TestWithParam<PagingCase> {};

TEST_P(FullKeyboardPaging, KeysFollowThePageAndReopenOnCapitals) {
    const PagingCase& c = GetParam();
    TouchScreen screen;
    FieldOnScreen f(screen, 6, QRect(20, 20, 300, 50));
    ASSERT_TRUE(screen.show());
    TouchScreen::tap(f.edit);
    NumCharInput& kb = screen.keyboard();
    ASSERT_TRUE(kb.isVisible());
    EXPECT_FALSE(screen.keypad().isVisible());
    for (const char* p = c.presses; *p; ++p)
        TouchScreen::tap(*p == 't' ? kb.toggleKey() : kb.caseKey());
    QString row1;
    for (int id = 11; id <= 20; ++id)
        row1 += kb.charKey(id)->text();
    EXPECT_EQ(row1, QString::fromLatin1(c.row1));
    EXPECT_EQ(kb.toggleKey()->text(), tx(c.toggleCaption));
    EXPECT_EQ(kb.caseKey()->text(), tx(c.caseCaption));

    TouchScreen::tap(kb.confirmKey());
    EXPECT_FALSE(kb.isVisible());
    TouchScreen::tap(f.edit);
    ASSERT_TRUE(kb.isVisible());
    EXPECT_EQ(kb.page(), KeyPage::Capitals) << "every showing starts on capitals";
    EXPECT_EQ(kb.charKey(11)->text(), QStringLiteral("Q"));
}

// 1250 "symbol", 1251 "Lower", 1252 "Capital", 1253 "character"
INSTANTIATE_TEST_SUITE_P(Table, FullKeyboardPaging,
                         ::testing::Values(PagingCase{"", "QWERTYUIOP", 1250, 1251},
                                           PagingCase{"c", "qwertyuiop", 1250, 1252},
                                           PagingCase{"cc", "QWERTYUIOP", 1250, 1251},
                                           PagingCase{"t", "-=[]\\;',./", 1253, 1251},
                                           PagingCase{"tt", "QWERTYUIOP", 1250, 1251},
                                           PagingCase{"tc", "qwertyuiop", 1250, 1252}));

TEST(FullKeyboard, TypesAppendsAndErasesWithoutTakingFocus) {
    TouchScreen screen;
    FieldOnScreen f(screen, 6, QRect(20, 20, 300, 50));
    f.edit->setText(QStringLiteral("ab"));
    ASSERT_TRUE(screen.show());
    TouchScreen::tap(f.edit);
    EXPECT_EQ(f.edit->text(), QStringLiteral("ab")) << "the full keyboard keeps the text";
    screen.typeChars(QStringLiteral("Q1_"));
    TouchScreen::tap(screen.keyboard().caseKey());
    screen.typeChars(QStringLiteral("z"));
    TouchScreen::tap(screen.keyboard().toggleKey());
    screen.typeChars(QStringLiteral("\\\""));
    EXPECT_EQ(f.edit->text(), QStringLiteral("abQ1_z\\\""));
    TouchScreen::tap(screen.keyboard().backspaceKey());
    EXPECT_EQ(f.edit->text(), QStringLiteral("abQ1_z\\"));
    TouchScreen::tap(screen.keyboard().confirmKey());
    EXPECT_TRUE(f.edit->hasFocus()) << "confirm on the full keyboard keeps the focus";
    EXPECT_EQ(screen.keys->currentEdit(), f.edit);
}

TEST(Keypad, TypesIntoAPlainFieldFreshThenAppending) {
    TouchScreen screen;
    FieldOnScreen f(screen, 5, QRect(20, 20, 200, 50));
    f.edit->setText(QStringLiteral("99"));
    ASSERT_TRUE(screen.show());
    TouchScreen::tap(f.edit);
    EXPECT_TRUE(f.edit->text().isEmpty());
    screen.typeDigits(QStringLiteral("4051"));
    EXPECT_EQ(f.edit->text(), QStringLiteral("4051"));
    EXPECT_EQ(f.edit->cursorPosition(), 4);
    TouchScreen::tap(screen.keypad().confirmKey());
    EXPECT_FALSE(f.edit->hasFocus());
    EXPECT_EQ(screen.keys->currentEdit(), nullptr);
}

TEST(Keypad, KeysWithoutAFieldDoNothing) {
    TouchScreen screen;
    ASSERT_TRUE(screen.show());
    screen.keypad().setContent(3);
    screen.keypad().eraseContent();
    screen.keypad().HideUpdate();
    EXPECT_EQ(screen.keys->currentEdit(), nullptr);
}

struct PlaceCase {
    QRect field;
    bool large;
    QPoint expected;
};

class KeypadPlacement : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(KeypadPlacement, OpensInsideItsHost) {
    const PlaceCase& c = GetParam();
    TouchScreen screen(c.large);
    FieldOnScreen f(screen, 5, c.field);
    ASSERT_TRUE(screen.show());
    TouchScreen::tap(f.edit);
    NumberInput& keypad = screen.keypad();
    ASSERT_TRUE(keypad.isVisible());
    EXPECT_EQ(keypad.parentWidget(), f.page);
    EXPECT_EQ(keypad.pos(), c.expected);
    EXPECT_TRUE(f.page->rect().contains(keypad.geometry()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeypadPlacement,
    ::testing::Values(PlaceCase{{100, 100, 200, 50}, true, {100, 155}},
                      // right edge: ends at the host's edge
                      PlaceCase{{1100, 100, 150, 50}, true, {1280 - 426, 155}},
                      // bottom of the screen: above the field
                      PlaceCase{{100, 600, 200, 50}, true, {100, 600 + 55 - 229 - 45}},
                      PlaceCase{{900, 700, 100, 28}, false, {1024 - 344, 700 + 33 - 154 - 45}}));

TEST(Keypad, FieldInContainersUsesTheOuterHost) {
    TouchScreen screen;
    auto* page = new QWidget(screen.window.get());
    page->setGeometry(screen.window->rect());
    auto* outer = new QWidget(page);
    outer->setGeometry(200, 100, 400, 300);
    auto* inner = new QWidget(outer);
    inner->setGeometry(10, 20, 300, 200);
    auto* edit = new Edit(*screen.keys, 17, inner);
    edit->setGeometry(5, 5, 100, 40);
    edit->setFocusPolicy(Qt::StrongFocus);
    ASSERT_TRUE(screen.show());
    TouchScreen::tap(edit);
    EXPECT_EQ(screen.keypad().parentWidget(), page);
    EXPECT_EQ(screen.keypad().pos(), QPoint(215, 170));
}

TEST(KeyboardHider, PressOnTheScreenHidesBothKeyboardsButKeysStillWork) {
    TouchScreen screen;
    FieldOnScreen f(screen, 5, QRect(20, 20, 200, 50));
    KeyboardHider hider(*screen.keys, screen.window.get());
    auto* later = new QWidget(screen.window.get());  // a screen added afterwards
    later->setGeometry(600, 600, 100, 100);
    ASSERT_TRUE(screen.show());
    TouchScreen::tap(f.edit);
    ASSERT_TRUE(screen.keypad().isVisible());
    screen.typeDigits(QStringLiteral("7"));
    EXPECT_TRUE(screen.keypad().isVisible()) << "a key press is no press on the screen";
    EXPECT_EQ(f.edit->text(), QStringLiteral("7"));
    QTest::mousePress(f.page, Qt::LeftButton, {}, QPoint(700, 50));
    EXPECT_FALSE(screen.keypad().isVisible());
    QTest::mouseRelease(f.page, Qt::LeftButton, {}, QPoint(700, 50));

    screen.keyboard().show();
    QTest::mousePress(later, Qt::LeftButton);
    EXPECT_FALSE(screen.keyboard().isVisible());
    QTest::mouseRelease(later, Qt::LeftButton);
}

TEST(Edit, ReturnKeyConfirmsTheOpenKeyboardOrOpensOne) {
    TouchScreen screen;
    FieldOnScreen f(screen, 5, QRect(20, 20, 200, 50));
    ASSERT_TRUE(screen.show());
    f.edit->setFocus();
    ASSERT_EQ(screen.keys->currentEdit(), f.edit);
    QTest::keyClick(f.edit, Qt::Key_Return);
    EXPECT_TRUE(screen.keypad().isVisible());
    QTest::keyClick(f.edit, Qt::Key_Return);
    EXPECT_FALSE(screen.keypad().isVisible());
}

TEST(Edit, PasswordFieldDropsFocusButStaysCurrent) {
    TouchScreen screen;
    FieldOnScreen f(screen, 5, QRect(20, 20, 200, 50));
    f.edit->setEchoMode(QLineEdit::Password);
    f.edit->setText(QStringLiteral("secret"));
    ASSERT_TRUE(screen.show());
    TouchScreen::tap(f.edit);
    EXPECT_FALSE(f.edit->hasFocus());
    EXPECT_EQ(screen.keys->currentEdit(), f.edit);
    EXPECT_TRUE(f.edit->text().isEmpty());
    EXPECT_EQ(f.edit->placeholderText(), tx(1248));
    EXPECT_TRUE(screen.keypad().isVisible());
}

TEST(Keyboards, GeometryOfBothLayouts) {
    for (bool large : {true, false}) {
        TouchScreen screen(large);
        EXPECT_EQ(screen.keypad().size(), large ? QSize(426, 229) : QSize(344, 154));
        EXPECT_EQ(screen.keyboard().size(), large ? QSize(784, 294) : QSize(449, 164));
        EXPECT_EQ(screen.keypad().digitKey(9)->geometry(),
                  large ? QRect(110, 155, 100, 70) : QRect(91, 107, 80, 45));
        EXPECT_EQ(screen.keyboard().charKey(36)->geometry(),
                  large ? QRect(106 + 6 * 70, 220, 65, 65) : QRect(60 + 6 * 40, 126, 37, 37));
        EXPECT_EQ(screen.keyboard().confirmKey()->geometry(),
                  large ? QRect(694, 220, 80, 65) : QRect(393, 126, 50, 37));
        EXPECT_EQ(screen.keyboard().backspaceKey()->geometry(),
                  large ? QRect(604, 220, 80, 65) : QRect(337, 126, 50, 37));
    }
}

}  // namespace
