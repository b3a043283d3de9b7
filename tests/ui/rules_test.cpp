#include "access.h"
#include "inputrules.h"
#include "systemparams.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

struct ClampCase {
    int minimum, maximum;
    bool allowZero;
    qint64 value;
    int expected;
};

class RangeCheck : public ::testing::TestWithParam<ClampCase> {};

TEST_P(RangeCheck, ClampsAndSparesOnlyZero) {
    const ClampCase& c = GetParam();
    EXPECT_EQ((EditRange{c.minimum, c.maximum, c.allowZero}.clamp(c.value)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RangeCheck,
    ::testing::Values(ClampCase{1, 100, true, 0, 0},   // allowed zero stands
                      ClampCase{1, 100, false, 0, 1},  // otherwise raised
                      ClampCase{1, 100, true, -2, 1},  // only exactly 0 is spared
                      ClampCase{1, 100, true, 150, 100}, ClampCase{0, 100, false, 100, 100},
                      ClampCase{-10, 10, false, -11, -10}, ClampCase{-10, 10, true, 0, 0},
                      ClampCase{5, 5, false, 7, 5}));

TEST(EditRules, TypingBuildsAScaledNumberAndStartsFreshAfterOpening) {
    EXPECT_EQ(typedValue(77, true, 3), 3);
    EXPECT_EQ(typedValue(1, false, 5), 15);
    EXPECT_EQ(typedValue(15, false, 0), 150);
    // no overflow for a huge maximum: the value saturates
    EXPECT_EQ(typedValue(std::numeric_limits<int>::max(), false, 9),
              std::numeric_limits<int>::max());
    EXPECT_EQ(steppedValue(std::numeric_limits<int>::min(), -5), std::numeric_limits<int>::min());
}

TEST(EditRules, ValueTextAndStepCaptions) {
    EXPECT_EQ(valueText(0, 42, 1), QStringLiteral("42"));
    EXPECT_EQ(valueText(2, 15, 10), QStringLiteral("1.5"));
    EXPECT_EQ(valueText(2, 100, 10), QStringLiteral("10"));
    EXPECT_EQ(valueText(2, 1234567, 1), QStringLiteral("1.23457e+06"));
    EXPECT_EQ(valueText(1, 42, 1), QString());
    EXPECT_EQ(stepCaption(-1, 5, 1), QStringLiteral("- 5"));
    EXPECT_EQ(stepCaption(1, 1, 1), QStringLiteral("+ 1"));
    EXPECT_EQ(stepCaption(-1, 5, 10), QStringLiteral("- 0.5"));
    EXPECT_EQ(stepCaption(1, 1, 10), QStringLiteral("+ 0.1"));
    EXPECT_EQ(stepCaption(1, 1, 100), QStringLiteral("+ 0.01"));
}

TEST(EditRules, UnitLabelFollowsTheDigits) {
    EXPECT_EQ(unitLabelX(137, 64, 0), 36);
    EXPECT_EQ(unitLabelX(137, 64, 3), (137 - 64 + 40) / 2);
}

struct OctetCase {
    const char* typed;
    const char* shown;
};
class Octet : public ::testing::TestWithParam<OctetCase> {};
TEST_P(Octet, IsLimitedTo255AndEmptyShowsZero) {
    EXPECT_EQ(octetText(QString::fromLatin1(GetParam().typed)),
              QString::fromLatin1(GetParam().shown));
}
INSTANTIATE_TEST_SUITE_P(Table, Octet,
                         ::testing::Values(OctetCase{"300", "255"}, OctetCase{"", "0"},
                                           OctetCase{"255", "255"}, OctetCase{"010", "10"},
                                           OctetCase{"0", "0"}, OctetCase{"99999", "255"}));

struct SplitCase {
    const char* address;
    std::array<const char*, 4> fields;  // nullptr: field untouched
};
class Split : public ::testing::TestWithParam<SplitCase> {};
TEST_P(Split, WalksTheAddressPartByPart) {
    const auto parts = splitAddress(QString::fromLatin1(GetParam().address));
    for (int i = 0; i < 4; ++i) {
        const char* want = GetParam().fields[i];
        if (!want) {
            EXPECT_FALSE(parts[i].has_value()) << "field " << i;
        } else {
            ASSERT_TRUE(parts[i].has_value()) << "field " << i;
            EXPECT_EQ(*parts[i], QString::fromLatin1(want)) << "field " << i;
        }
    }
}
INSTANTIATE_TEST_SUITE_P(
    Table, Split,
    ::testing::Values(SplitCase{"192.168.1.10", {"192", "168", "1", "10"}},
                      SplitCase{"1.2.3.4.5", {"1", "2", "3", "5"}},  // fifth part: last field
                      SplitCase{"1.2.3.4.5.66", {"1", "2", "3", "66"}},
                      SplitCase{"10.0", {"10", "0", nullptr, nullptr}},
                      SplitCase{"..7", {nullptr, nullptr, "7", nullptr}},
                      SplitCase{"", {nullptr, nullptr, nullptr, nullptr}}));

struct PlaceCase {
    QPoint field;
    int fieldHeight;
    QSize keyboard, host;
    int screenHeight;
    QPoint expected;
};
class Placement : public ::testing::TestWithParam<PlaceCase> {};
TEST_P(Placement, StaysInsideHostAndScreen) {
    const PlaceCase& c = GetParam();
    EXPECT_EQ(placeKeyboard({c.field, c.fieldHeight, c.keyboard, c.host, c.screenHeight}),
              c.expected);
}
INSTANTIATE_TEST_SUITE_P(Table, Placement,
                         ::testing::Values(
                             // under the field
                             PlaceCase{{100, 100}, 50, {426, 229}, {1280, 800}, 800, {100, 155}},
                             // past the right edge: moved left to end at the edge
                             PlaceCase{{1000, 100}, 50, {426, 229}, {1280, 800}, 800, {854, 155}},
                             // would run below the screen: above the field
                             PlaceCase{{100, 500}, 50, {426, 229}, {1280, 800}, 800, {100, 281}},
                             // exactly at the limit (y + kh == screen - 49) also goes above
                             PlaceCase{{0, 467}, 50, {426, 229}, {1280, 800}, 800, {0, 248}},
                             // one pixel higher stays under
                             PlaceCase{{0, 466}, 50, {426, 229}, {1280, 800}, 800, {0, 521}},
                             // a short host pulls it up to its bottom
                             PlaceCase{{10, 10}, 28, {344, 154}, {600, 150}, 768, {10, 0}},
                             PlaceCase{{10, 10}, 28, {344, 154}, {600, 300}, 768, {10, 43}}));

struct PageCase {
    const char* presses;  // t: toggle key, c: case key
    KeyPage page;
};
class Paging : public ::testing::TestWithParam<PageCase> {};
TEST_P(Paging, ToggleAndCaseKeys) {
    KeyPage page = KeyPage::Capitals;
    for (const char* p = GetParam().presses; *p; ++p)
        page = *p == 't' ? pageAfterToggle(page) : pageAfterCase(page);
    EXPECT_EQ(page, GetParam().page);
}
INSTANTIATE_TEST_SUITE_P(
    Table, Paging,
    ::testing::Values(PageCase{"", KeyPage::Capitals}, PageCase{"c", KeyPage::SmallLetters},
                      PageCase{"cc", KeyPage::Capitals}, PageCase{"t", KeyPage::Symbols},
                      PageCase{"tt", KeyPage::Capitals},
                      PageCase{"tc", KeyPage::SmallLetters},  // back to letters
                      PageCase{"ct", KeyPage::Symbols}, PageCase{"ctt", KeyPage::Capitals}));

TEST(KeyboardPages, HoldThirtySevenKeysWithTheBackslashFifthOnSymbols) {
    for (KeyPage p : {KeyPage::Capitals, KeyPage::SmallLetters, KeyPage::Symbols}) {
        EXPECT_EQ(pageKeys(p).size(), 37);
        EXPECT_TRUE(pageKeys(p).startsWith(QStringLiteral("1234567890_")));
    }
    EXPECT_EQ(pageKeys(KeyPage::Symbols).at(11 + 4), u'\\');
    EXPECT_EQ(pageKeys(KeyPage::Symbols).mid(30), QStringLiteral("`~!{}:\""));
    EXPECT_EQ(pageKeys(KeyPage::Capitals).mid(11, 10), QStringLiteral("QWERTYUIOP"));
    EXPECT_EQ(pageKeys(KeyPage::SmallLetters).mid(30), QStringLiteral("zxcvbnm"));
}

TEST(ButtonFonts, FollowLayoutSizeClassAndLanguage) {
    EXPECT_EQ(buttonFontSize(true, 3, 0), 27);
    EXPECT_EQ(buttonFontSize(true, 3, 1), 22);
    EXPECT_EQ(buttonFontSize(true, 4, 0), 33);
    EXPECT_EQ(buttonFontSize(true, 4, 2), 30);
    EXPECT_EQ(buttonFontSize(false, 4, 0), 16);
    EXPECT_EQ(buttonFontSize(false, 3, 2), 13);
}

TEST(SliderRules, NoSpanNeitherDividesNorSteps) {
    EXPECT_EQ(sliderFilledWidth(100, 5, 5, 5), 0);
    EXPECT_EQ(sliderDragStep(50, 100, 5, 5), 0);
    EXPECT_EQ(sliderFilledWidth(190, 50, 0, 100), 95);
    EXPECT_EQ(sliderDragStep(9, 100, 0, 10), 0);  // slow movements accumulate
    EXPECT_EQ(sliderDragStep(10, 100, 0, 10), 1);
    EXPECT_EQ(sliderDragStep(-25, 100, 0, 10), -2);
}

struct LevelCase {
    bool protectedParams;
    const char* userPassword;
    const char* entered;  // "#" stands for the service code of the hour
    ServiceRule rule;
    int level;
};
class PasswordLevels : public ::testing::TestWithParam<LevelCase> {};
TEST_P(PasswordLevels, ServiceBeforeUserElseNone) {
    const LevelCase& c = GetParam();
    SystemParams params;
    params.is_psw_used = c.protectedParams ? 1 : 0;
    params.password = QByteArray(c.userPassword);
    const QDateTime now(QDate(2026, 3, 14), QTime(9, 26));
    const QString entered = QString::fromLatin1(c.entered) == QStringLiteral("#")
                                ? serviceCode(now)
                                : QString::fromLatin1(c.entered);
    EXPECT_EQ(passwordLevel(entered, params, now, c.rule), c.level);
}
INSTANTIATE_TEST_SUITE_P(
    Table, PasswordLevels,
    ::testing::Values(LevelCase{false, "1234", "5728", ServiceRule::FixedUnlessProtected, 2},
                      LevelCase{false, "1234", "5728", ServiceRule::TimedCodeOnly, 0},
                      LevelCase{true, "1234", "5728", ServiceRule::FixedUnlessProtected, 0},
                      LevelCase{true, "1234", "#", ServiceRule::FixedUnlessProtected, 2},
                      LevelCase{false, "1234", "#", ServiceRule::FixedUnlessProtected, 0},
                      LevelCase{false, "1234", "#", ServiceRule::TimedCodeOnly, 2},
                      LevelCase{false, "1234", "1234", ServiceRule::FixedUnlessProtected, 1},
                      LevelCase{true, "1234", "1234", ServiceRule::TimedCodeOnly, 1},
                      LevelCase{false, "5728", "5728", ServiceRule::FixedUnlessProtected,
                                2},  // service wins
                      LevelCase{false, "1234", "12345", ServiceRule::FixedUnlessProtected, 0},
                      LevelCase{false, "1234", "", ServiceRule::FixedUnlessProtected, 0}));

TEST(ServiceCode, HasTenDigitsAndChangesEveryHour) {
    const QDateTime t(QDate(2026, 3, 14), QTime(9, 0));
    const QString code = serviceCode(t);
    EXPECT_EQ(code.size(), 10);
    for (QChar c : code)
        EXPECT_TRUE(c.isDigit());
    EXPECT_EQ(serviceCode(t.addSecs(3599)), code);
    EXPECT_NE(serviceCode(t.addSecs(3600)), code);
    EXPECT_NE(serviceCode(t.addDays(1)), code);
    // "2026031409" with the key 5728 and 3 i added per digit
    EXPECT_EQ(code, QStringLiteral("7003751393"));
}

}  // namespace
