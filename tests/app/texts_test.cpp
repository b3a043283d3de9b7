#include "globals.h"

#include <gtest/gtest.h>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <set>

namespace {

TEST(TextTable, ParsesEscapesAndRejectsBrokenLines) {
    TextTable t;
    EXPECT_TRUE(t.parse(QStringLiteral("# comment\n\n7\ta\\r\\nb\tx\\ty\\\\\tz\n")));
    EXPECT_EQ(t[7][0], QStringLiteral("a\r\nb"));
    EXPECT_EQ(t[7][1], QStringLiteral("x\ty\\"));
    EXPECT_EQ(t[7][2], QStringLiteral("z"));
    QString error;
    EXPECT_FALSE(t.parse(QStringLiteral("8\tonly two\n"), &error));
    EXPECT_EQ(error, QStringLiteral("line 1: expected id and three texts"));
    EXPECT_FALSE(t.parse(QStringLiteral("2048\ta\tb\tc\n")));
    EXPECT_TRUE(t[-1][0].isEmpty());
    EXPECT_TRUE(t[5000][1].isEmpty());
}

TEST(TextTable, MissingTraditionalTextFallsBackToSimplified) {
    const int saved = language;
    language = 2;
    EXPECT_TRUE(gText[1238][2].isEmpty());
    EXPECT_EQ(tx(1238), gText[1238][0]);
    EXPECT_EQ(tx(150), gText[150][2]);
    language = 1;
    EXPECT_EQ(tx(1238), gText[1238][1]);
    language = saved;
}

TEST(TextTable, BuiltInTableHasTheStartUpMessages) {
    EXPECT_EQ(gText[150][1], QStringLiteral("The system is ready, there is %1 cameras"));
    EXPECT_EQ(gText[160][1], QStringLiteral("System parameter file error, please \r\n restore "
                                            "parameter group \r\n or contact supplier"));
    EXPECT_EQ(gText[135][1], QStringLiteral("Database failed to open, please restart!"));
}

// Every message id the program uses has its text in all three languages.
TEST(TextTable, EveryIdUsedInTheCodeHasItsTexts) {
    const QRegularExpression use(QStringLiteral(R"((?:\btx\(|\bgText\[|\bkMsg\w*\s*=\s*)(\d+))"));
    std::set<int> ids;
    for (const char* area :
         {"app", "ui", "camera", "cycle", "inspect", "users", "stats", "net", "maint"}) {
        QDirIterator it(QStringLiteral(MM_SOURCE_DIR "/") + QLatin1String(area),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            auto matches = use.globalMatch(QString::fromUtf8(f.readAll()));
            while (matches.hasNext())
                ids.insert(matches.next().captured(1).toInt());
        }
    }
    ASSERT_FALSE(ids.empty());
    for (int id : ids) {
        EXPECT_FALSE(gText[id][0].isEmpty()) << "message " << id << " zh-CN";
        EXPECT_FALSE(gText[id][1].isEmpty()) << "message " << id << " en";
        // a few messages have no Traditional Chinese entry and fall back to Simplified
        const bool simplifiedOnly = (id >= 587 && id <= 591) || id == 1237 || id == 1238;
        if (!simplifiedOnly) {
            EXPECT_FALSE(gText[id][2].isEmpty()) << "message " << id << " zh-TW";
        }
    }
}

}  // namespace
