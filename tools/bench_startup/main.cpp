// Start-up time of the monitor: from process start to the ready record, in a
// fresh working directory on the offscreen platform, against a bare Qt
// application started the same way.
//
//   bench_startup [runs]

#include "derawizard.h"
#include "operatorprompt.h"
#include "platform.h"
#include "startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class YesPrompt final : public OperatorPrompt {
public:
    void warn(const QString&) override {}
    bool ask(const QString&) override { return true; }
};

int child(int argc, char** argv, const QString& workDir) {
    Platform platform;
    platform.commands = std::make_unique<RecordingCommandRunner>();
    platform.clock = std::make_unique<SystemClock>();
    platform.led = std::make_unique<RecordingLedDevice>();
    QApplication app(argc, argv);
    YesPrompt prompt;
    Monitor m = bringUpMonitor(platform, workDir, argv[0], &prompt);
    std::puts(m.window->started() ? "ready" : "failed");
    std::fflush(stdout);
    return 0;
}

double runOnce(const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer t;
    t.start();
    p.start(QCoreApplication::applicationFilePath(), args);
    if (!p.waitForReadyRead(30000))
        return -1;
    const double ms = t.nsecsElapsed() / 1e6;
    const bool ok = p.readAll().startsWith("ready");
    p.waitForFinished();
    return ok ? ms : -1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

bool hasReadyRecord(const QString& dir) {
    bool found = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(dir + QStringLiteral("/RECORD.db"));
        QSqlQuery q(db);
        found = db.open() && q.exec(QStringLiteral("select count(*) from RECORD")) && q.next() &&
                q.value(0).toInt() > 0;
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return child(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (argc == 2 && qstrcmp(argv[1], "--baseline") == 0) {
        QApplication app(argc, argv);
        std::puts("ready");
        return 0;
    }
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    std::vector<double> monitor, baseline;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir dir;
        QProcess::execute(
            QStringLiteral(MM_MKWORKDIR),
            {QStringLiteral("layout"), QStringLiteral(MM_WORKDIR_TEMPLATE), dir.path()});
        baseline.push_back(runOnce({QStringLiteral("--baseline")}));
        const double ms = runOnce({QStringLiteral("--child"), dir.path()});
        if (ms < 0 || !hasReadyRecord(dir.path())) {
            std::fprintf(stderr, "start-up failed in run %d\n", i);
            return 1;
        }
        monitor.push_back(ms);
    }
    const double m = median(monitor), b = median(baseline);
    std::printf(
        "runs %d\nbare Qt application: median %.1f ms\n"
        "monitor to ready record: median %.1f ms (%.2f x the bare application, %.1f ms more)\n",
        runs, b, m, m / b, m - b);
    return 0;
}
