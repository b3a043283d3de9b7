#include "boxes.h"
#include "globals.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QPushButton>

namespace {

class Boxes : public ::testing::TestWithParam<int> {};

// The boxes speak the current language; their pictures are kept for a look.
TEST_P(Boxes, CaptionsFollowTheLanguage) {
    const int saved = language;
    language = GetParam();
    ChooseBox choose;
    choose.setText(tx(134));
    WarnBox warn;
    warn.setText(gText[160][1]);
    QStringList captions;
    for (auto* b : choose.findChildren<QPushButton*>())
        captions << b->text();
    EXPECT_EQ(captions, (QStringList{gText[1244][language], gText[1245][language]}));
    EXPECT_EQ(warn.findChild<QPushButton*>()->text(), gText[121][language]);

    const QString dir = QStringLiteral(MM_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    choose.resize(480, 260);
    EXPECT_TRUE(choose.grab().save(dir + QStringLiteral("/choosebox-%1.png").arg(language)));
    warn.resize(480, 260);
    EXPECT_TRUE(warn.grab().save(dir + QStringLiteral("/warnbox-%1.png").arg(language)));
    language = saved;
}

INSTANTIATE_TEST_SUITE_P(Languages, Boxes, ::testing::Values(0, 1, 2));

}  // namespace
