#include "databases.h"
#include "derawizard.h"
#include "globals.h"
#include "inspect/vision_globals.h"
#include "ioboard.h"
#include "operatorprompt.h"
#include "platform.h"
#include "testworkdir.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <deque>

namespace {

// Answers start-up questions from a script and remembers what was shown.
class ScriptedPrompt final : public OperatorPrompt {
public:
    std::deque<bool> answers;
    QStringList warnings, questions;
    void warn(const QString& text) override { warnings << text; }
    bool ask(const QString& q) override {
        questions << q;
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
};

struct Started {
    TestWorkDir wd;
    Platform platform;
    ScriptedPrompt prompt;
    RecordingCommandRunner* commands = nullptr;
    RecordingLedDevice* led = nullptr;

    Started() {
        auto c = std::make_unique<RecordingCommandRunner>();
        auto l = std::make_unique<RecordingLedDevice>();
        commands = c.get();
        led = l.get();
        platform.commands = std::move(c);
        platform.led = std::move(l);
        platform.clock = std::make_unique<FakeClock>(QDateTime::currentDateTime().addSecs(3600));
    }
    std::unique_ptr<DeRaWizard> start() {
        return std::make_unique<DeRaWizard>(platform, wd.path(), &prompt);
    }
    QStringList records() const {
        QStringList out;
        const QString name = QStringLiteral("records");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(wd.file(QStringLiteral("RECORD.db")));
            db.open();
            QSqlQuery q(db);
            q.exec(QStringLiteral("select remarks from RECORD order by rowid"));
            while (q.next())
                out << q.value(0).toString();
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return out;
    }
    void setLanguage(int lang) {
        wd.exec(QStringLiteral("PARAM.db"),
                QStringLiteral(
                    "update sysparam set value='0 10 3 100 0 0 0 0 0 0 0 0 %1 0 8000 600 12 0' "
                    "where name='system2'")
                    .arg(lang));
    }
};

class FreshStart : public ::testing::TestWithParam<int> {};

TEST_P(FreshStart, AsksAboutCamerasAndRecordsReadyInTheConfiguredLanguage) {
    const int lang = GetParam();
    Started s;
    s.setLanguage(lang);
    auto w = s.start();
    ASSERT_TRUE(w->started());
    EXPECT_EQ(language, lang);
    EXPECT_EQ(s.prompt.questions, QStringList{gText[134][lang]});
    EXPECT_TRUE(s.prompt.warnings.isEmpty());
    EXPECT_TRUE(s.commands->commands().isEmpty());
    EXPECT_TRUE(w->detecting());
    EXPECT_EQ(gShowW, w->width());  // the camera view spans the panel
    EXPECT_EQ(gShowH, w->height());
    // off the panel the IO board link never opens a serial port of the machine
    ASSERT_NE(w->ioBoard(), nullptr);
    EXPECT_TRUE(w->ioBoard()->thread()->device().isEmpty());
    w.reset();
    EXPECT_TRUE(s.records().contains(gText[150][lang].arg(0)));
    EXPECT_TRUE(QDir(s.wd.file(QStringLiteral("RECORD"))).exists());
    EXPECT_TRUE(QDir(s.wd.file(QStringLiteral("ResStatistics"))).exists());
    EXPECT_TRUE(QFile::exists(s.wd.file(QStringLiteral("time.txt"))));
}

INSTANTIATE_TEST_SUITE_P(Languages, FreshStart, ::testing::Values(0, 1, 2));

TEST(Startup, RecordedCamerasWithoutCamerasAreCountedAndMayBeCleared) {
    Started s;
    s.wd.exec(QStringLiteral("SN.db"),
              QStringLiteral("update sysparam set value='SN00000001' where name='serialNB0'"));
    s.wd.exec(QStringLiteral("SN.db"),
              QStringLiteral("update sysparam set value='SN00000002' where name='serialNB1'"));
    s.prompt.answers = {true};
    auto w = s.start();
    ASSERT_TRUE(w->started());
    EXPECT_EQ(cameraCount, 2);
    EXPECT_EQ(w->shownCamera(), 2);  // all cameras tiled
    w.reset();
    EXPECT_TRUE(s.records().contains(gText[150][language].arg(2)));
    EXPECT_EQ(s.wd.value(QStringLiteral("SN.db"),
                         QStringLiteral("select value from sysparam where name='serialNB1'")),
              QStringLiteral("0"));
    for (const char* dir : {"alarmimage/camera2/detect8/NG", "alarmimage/camera1/detect1/OK",
                            "cammer28", "originalimage/cammer11"})
        EXPECT_TRUE(QDir(s.wd.file(QLatin1String(dir))).exists()) << dir;
    EXPECT_FALSE(QDir(s.wd.file(QStringLiteral("cammer31"))).exists());
}

TEST(Startup, ClockNeverSetStopsDetection) {
    Started s;
    QFile::remove(s.wd.file(QStringLiteral("realytime.txt")));
    auto w = s.start();
    EXPECT_FALSE(w->detecting());
    EXPECT_TRUE(s.prompt.warnings.contains(
        QStringLiteral("系统时间出错，导致停止检测，\n请重新设置时间！")));
    EXPECT_EQ(w->lamps().shadow() & 0x10u, 0u);
    EXPECT_TRUE(s.commands->commands().isEmpty());
    w.reset();
    const QStringList rec = s.records();
    const qsizetype ready = rec.indexOf(gText[150][language].arg(0));
    ASSERT_GE(ready, 0);
    EXPECT_EQ(rec.mid(ready + 1),
              (QStringList{QStringLiteral("系统时间出错，导致停止检测"), gText[141][language],
                           QStringLiteral("系统时间错误，未修改时间")}));
}

TEST(Startup, ClockSetInTheFutureCountsAsWrong) {
    Started s;
    s.wd.write(QStringLiteral("realytime.txt"),
               QByteArray::number(QDateTime::currentDateTime().addDays(2).toMSecsSinceEpoch()));
    EXPECT_FALSE(s.start()->detecting());
}

enum class Damage { Missing, Truncated, ZeroedFirstPage, Garbage, WrongTable };

struct RepairCase {
    const char* file;
    Damage damage;
    int message;
    const char* table;
};

void damage(const QString& path, Damage how) {
    QFile f(path);
    switch (how) {
        case Damage::Missing:
            QFile::remove(path);
            break;
        case Damage::Truncated:
            f.resize(f.size() / 2 > 200 ? 200 : f.size() / 2);
            break;
        case Damage::ZeroedFirstPage:
            f.open(QIODevice::ReadWrite);
            f.write(QByteArray(4096, '\0'));
            break;
        case Damage::Garbage: {
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            QByteArray junk(8192, '\0');
            for (char& c : junk)
                c = static_cast<char>(QRandomGenerator::global()->bounded(256));
            f.write(junk);
            break;
        }
        case Damage::WrongTable:
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.close();
            break;
    }
}

void PrintTo(const RepairCase& c, std::ostream* os) {
    static const char* const kinds[] = {"missing", "truncated", "zeroed first page", "garbage",
                                        "empty"};
    *os << c.file << " " << kinds[static_cast<int>(c.damage)];
}

class Repair : public ::testing::TestWithParam<RepairCase> {};

TEST_P(Repair, DamagedDatabaseIsReplacedAndThePanelReboots) {
    const RepairCase& c = GetParam();
    Started s;
    const QString path = s.wd.file(QLatin1String(c.file));
    damage(path, c.damage);
    auto w = s.start();
    EXPECT_FALSE(w->started());
    EXPECT_EQ(s.prompt.warnings, QStringList{gText[c.message][1]});
    EXPECT_EQ(s.commands->commands(), QStringList{QStringLiteral("reboot")});
    w.reset();
    db::closeAll();
    const db::StoreSpec store{c.file, "check", c.table, "", "", 0, 0};
    EXPECT_TRUE(db::openChecked(store, s.wd.path()));
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Repair,
    ::testing::Values(RepairCase{"PARAM.db", Damage::Missing, 160, "sysparam"},
                      RepairCase{"PARAM.db", Damage::Truncated, 160, "sysparam"},
                      RepairCase{"PARAM.db", Damage::ZeroedFirstPage, 160, "sysparam"},
                      RepairCase{"PARAM.db", Damage::Garbage, 160, "sysparam"},
                      RepairCase{"PARAM.db", Damage::WrongTable, 160, "sysparam"},
                      RepairCase{"RECORD.db", Damage::Missing, 135, "RECORD"},
                      RepairCase{"RECORD.db", Damage::ZeroedFirstPage, 135, "RECORD"},
                      RepairCase{"SN.db", Damage::Missing, 160, "sysparam"},
                      RepairCase{"SN.db", Damage::Garbage, 160, "sysparam"}));

}  // namespace
