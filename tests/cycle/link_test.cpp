#include "ioboard.h"
#include "simprocess.h"
#include "systemparams.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <ctime>

namespace {

constexpr int kWait = 5000;  // bounded waits; normal answers take a few ms

// A board link to a fresh simulator with an idle machine.
class LinkTest : public ::testing::Test {
protected:
    void start(QStringList extra = {}) {
        m_sim = std::make_unique<SimProcess>(QStringList{QStringLiteral("--idle")} + extra);
        ASSERT_TRUE(m_sim->path().startsWith(QStringLiteral("/dev/pts/")))
            << m_sim->path().toStdString();
        m_board = std::make_unique<IoBoard>(m_params, m_sim->path());
        // The board is answering once the closed safety door reads back.
        ASSERT_TRUE(m_sim->waitUntil(
            [&] {
                m_board->inputEdge(1);
                return m_board->inputState(1);
            },
            kWait));
    }
    bool waitOutputs(int word) {
        return m_sim->waitUntil([&] { return m_sim->outputs() == word; }, kWait);
    }
    bool waitInput(int i, bool level) {
        return m_sim->waitUntil(
            [&] {
                m_board->inputEdge(i < 8 ? i : 0);
                return m_board->inputState(i) == level;
            },
            kWait);
    }

    SystemParams m_params;
    std::unique_ptr<SimProcess> m_sim;  // outlives the board: declared first
    std::unique_ptr<IoBoard> m_board;
};

TEST_F(LinkTest, InputEdgeReportsEachActivationOnce) {
    start();
    EXPECT_FALSE(m_board->inputEdge(4));
    m_sim->send(QStringLiteral("input 4 1"));
    ASSERT_TRUE(m_sim->waitUntil([&] { return m_board->inputEdge(4); }, kWait));
    EXPECT_TRUE(m_board->inputState(4));
    EXPECT_FALSE(m_board->inputEdge(4));
    m_sim->send(QStringLiteral("input 4 0"));
    ASSERT_TRUE(waitInput(4, false));
    m_sim->send(QStringLiteral("input 4 1"));
    ASSERT_TRUE(m_sim->waitUntil([&] { return m_board->inputEdge(4); }, kWait));
}

TEST_F(LinkTest, CommittedOutputsReachTheMachineWithTheirPolarity) {
    m_params.output_polarity[1] = 1;  // ejector prohibit active low
    start();
    ASSERT_TRUE(waitOutputs(0b010));  // all inactive: output 1 sits high
    m_board->setOutput(0, true);
    m_board->setOutput(1, true);
    EXPECT_TRUE(m_board->outputState(0));
    EXPECT_FALSE(m_board->outputState(1));
    const qsizetype from = m_sim->mark();
    // Nothing reaches the board before the commit (a few poll periods).
    EXPECT_FALSE(
        m_sim->waitUntil([&] { return m_sim->count(QStringLiteral(" out "), from) > 0; }, 100));
    m_board->commitOutputs();
    EXPECT_TRUE(waitOutputs(0b001));
}

TEST_F(LinkTest, Output4FollowsTheOutputItIsSynchronisedWith) {
    m_params.enable_mold_backup = 2;  // output 4 mirrors output 2 (channel 1)
    start();
    m_board->setOutput(1, true);
    m_board->commitOutputs();
    EXPECT_TRUE(m_board->outputState(3));
    EXPECT_TRUE(waitOutputs(0b1010));
    m_board->setOutput(1, false);
    m_board->commitOutputs();
    EXPECT_TRUE(waitOutputs(0));
}

TEST_F(LinkTest, Input4ReadsTheInputItIsSynchronisedWith) {
    m_params.enable_output_thimble_pulse = 1;  // input 4 reads input 1 (channel 0)
    start();
    m_sim->send(QStringLiteral("input 3 1"));  // its own signal no longer counts
    m_sim->send(QStringLiteral("input 0 1"));
    ASSERT_TRUE(waitInput(0, true));
    EXPECT_TRUE(m_board->inputState(3));
    m_sim->send(QStringLiteral("input 0 0"));
    ASSERT_TRUE(waitInput(0, false));
    EXPECT_FALSE(m_board->inputState(3));
}

TEST_F(LinkTest, OpeningTheSafetyDoorReleasesTheAlarm) {
    start();
    safetyDoorOpened = false;
    m_board->setOutput(2, true);
    m_board->commitOutputs();
    ASSERT_TRUE(m_sim->waitLine(QStringLiteral("stop alarm"), 0, kWait));
    const qsizetype from = m_sim->mark();
    m_sim->send(QStringLiteral("door open"));
    ASSERT_TRUE(m_sim->waitUntil(
        [&] {
            m_board->inputEdge(0);
            return !m_board->outputState(2);
        },
        kWait));
    EXPECT_TRUE(safetyDoorOpened);
    EXPECT_TRUE(m_sim->waitLine(QStringLiteral("resume"), from, kWait));
    EXPECT_TRUE(waitOutputs(0));
    safetyDoorOpened = false;
}

TEST_F(LinkTest, SafetyDoorKeepsTheAlarmInTwoColourAndTurntableModes) {
    for (int mode : {kModeTwoColor, kModeTurntable}) {
        m_params.system_mode = mode;
        start();
        safetyDoorOpened = false;
        m_board->setOutput(2, true);
        m_board->commitOutputs();
        ASSERT_TRUE(waitOutputs(0b100));
        m_sim->send(QStringLiteral("door open"));
        ASSERT_TRUE(waitInput(1, false));
        for (int i = 0; i < 8; ++i)
            m_board->inputEdge(i);
        EXPECT_TRUE(m_board->outputState(2)) << "mode " << mode;
        EXPECT_FALSE(safetyDoorOpened);
        m_board.reset();
        m_sim.reset();
    }
}

TEST_F(LinkTest, SplitRepliesGarbageAndBadChecksumsAreRidden) {
    start();
    m_sim->send(QStringLiteral("split on"));
    m_sim->send(QStringLiteral("input 5 1"));
    ASSERT_TRUE(waitInput(5, true));
    m_sim->send(QStringLiteral("split off"));
    m_sim->send(QStringLiteral("garbage 37"));
    m_sim->send(QStringLiteral("input 5 0"));
    ASSERT_TRUE(waitInput(5, false));
    m_sim->send(QStringLiteral("badsum 20"));
    m_sim->send(QStringLiteral("input 6 1"));
    ASSERT_TRUE(waitInput(6, true));
    EXPECT_FALSE(m_board->linkLost());
}

TEST_F(LinkTest, OutputsAreSentAgainWhileTheEchoDiffers) {
    start();
    m_sim->send(QStringLiteral("ignore on"));
    ASSERT_TRUE(m_sim->waitLine(QStringLiteral("ignore on"), 0, kWait));
    const qsizetype from = m_sim->mark();
    m_board->setOutput(0, true);
    m_board->commitOutputs();
    ASSERT_TRUE(m_sim->waitUntil(
        [&] { return m_sim->count(QStringLiteral("set 1 ignored"), from) >= 3; }, kWait));
    m_sim->send(QStringLiteral("ignore off"));
    EXPECT_TRUE(waitOutputs(1));
}

TEST_F(LinkTest, SilentBoardIsLostAfter1000EmptyPassesAndRecordedOnReturn) {
    start();
    QStringList records;
    QObject ctx;
    QObject::connect(
        m_board->thread(), &IOThread::linkRecord, &ctx, [&](const QString& t) { records << t; },
        Qt::QueuedConnection);
    m_sim->send(QStringLiteral("silent on"));
    ASSERT_TRUE(m_sim->waitUntil([&] { return m_board->silence() > 0; }, kWait));
    EXPECT_FALSE(m_board->linkLost());
    ASSERT_TRUE(m_sim->waitUntil([&] { return m_board->linkLost(); }, 30000));
    EXPECT_GT(m_board->silence(), 1000);
    EXPECT_TRUE(records.isEmpty());
    m_sim->send(QStringLiteral("silent off"));
    ASSERT_TRUE(m_sim->waitUntil([&] { return !records.isEmpty(); }, kWait));
    EXPECT_FALSE(m_board->linkLost());
    EXPECT_EQ(records, QStringList{QStringLiteral("IO通讯重新连接")});
}

TEST_F(LinkTest, BoardInformationIsAskedOnItsSchedule) {
    start();
    // Commands 3 and 4 go out on the 200th and 210th poll (about a second).
    ASSERT_TRUE(m_sim->waitUntil([&] { return m_board->boardInfo(8) == 20240001; }, 10000));
    EXPECT_EQ(m_board->boardInfo(0), 0x00010203);
}

TEST_F(LinkTest, VanishedBoardIsReportedLost) {
    start();
    m_sim.reset();  // the pseudo-terminal hangs up
    const std::clock_t cpu0 = std::clock();
    QElapsedTimer t;
    t.start();
    while (!m_board->linkLost() && t.elapsed() < 30000)
        QThread::msleep(10);
    ASSERT_TRUE(m_board->linkLost());
    // The IO thread waits out its passes on a dead device instead of spinning.
    const double cpuMs = 1000.0 * double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    EXPECT_LT(cpuMs, 0.5 * double(t.elapsed()));
}

TEST_F(LinkTest, MachineWaitsForThePermissions) {
    m_sim = std::make_unique<SimProcess>(
        QStringList{QStringLiteral("--cycle"), QStringLiteral("20,20,20,20,20")});
    m_board = std::make_unique<IoBoard>(m_params, m_sim->path());
    m_board->setOutput(1, true);  // ejection prohibited
    m_board->commitOutputs();
    ASSERT_TRUE(m_sim->waitUntil([&] { return m_board->inputEdge(0); }, kWait));  // mould open
    ASSERT_TRUE(m_sim->waitLine(QStringLiteral("hold eject-prohibited"), 0, kWait));
    m_board->setOutput(0, true);  // clamping prohibited, ejection allowed
    m_board->setOutput(1, false);
    m_board->commitOutputs();
    ASSERT_TRUE(m_sim->waitUntil([&] { return m_board->inputEdge(2); }, kWait));  // ejector back
    const qsizetype from = m_sim->mark();
    ASSERT_TRUE(m_sim->waitLine(QStringLiteral("hold clamp-prohibited"), 0, kWait));
    EXPECT_FALSE(m_sim->hasLine(QStringLiteral("machine closing"), from));
    m_board->setOutput(0, false);
    m_board->commitOutputs();
    EXPECT_TRUE(m_sim->waitLine(QStringLiteral("machine closing"), from, kWait));
}

TEST(BoardSimulator, WatchdogTakesTheSafeStateUntilPolled) {
    SimProcess sim({QStringLiteral("--idle"), QStringLiteral("--watchdog"), QStringLiteral("100")});
    ASSERT_TRUE(sim.waitLine(QStringLiteral("watchdog safe"), 0, kWait));
    EXPECT_TRUE(sim.waitUntil([&] { return sim.outputs() == 0b111; }, kWait));
    SystemParams params;
    IoBoard board(params, sim.path());
    ASSERT_TRUE(sim.waitLine(QStringLiteral("watchdog released"), 0, kWait));
    EXPECT_TRUE(sim.waitUntil([&] { return sim.outputs() == 0; }, kWait));
}

TEST(BoardSimulator, ScriptChangesInputsOnTime) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile f(dir.filePath(QStringLiteral("script.txt")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("# time command\n50 input 7 1\n80 door open\n");
    f.close();
    SimProcess sim({QStringLiteral("--idle"), QStringLiteral("--script"), f.fileName()});
    ASSERT_TRUE(sim.waitLine(QStringLiteral("door open"), 0, kWait));
    const QRegularExpression in134(QStringLiteral("^\\d+ in 134 "));
    qsizetype i = 0;
    while (i < sim.lines().size() && !in134.match(sim.lines()[i]).hasMatch())
        ++i;
    i = i < sim.lines().size() ? i : -1;
    ASSERT_GE(i, 0) << sim.lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_GE(sim.lines()[i].section(QLatin1Char(' '), 0, 0).toInt(), 50);
}

}  // namespace
