// bench_io: latency of the IO board link over the simulator's pseudo-terminal.
//  - output: commitOutputs on this side until the simulator logs the new word;
//  - input: the simulator's input change until inputEdge reports it here.
// Both clocks are the system's monotonic clock (simulator run with --monotonic).

#include "ioboard.h"
#include "systemparams.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

double nowMs() {
    using namespace std::chrono;
    return double(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count()) /
           1000.0;
}

// Reads simulator log lines until one has the given verb and word; returns its time stamp.
double waitLog(QProcess& sim, const char* verb, int word, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        while (sim.canReadLine()) {
            const QList<QByteArray> f = sim.readLine().trimmed().split(' ');
            if (f.size() > 2 && f[1] == verb && f[2].toInt() == word)
                return f[0].toDouble();
        }
        sim.waitForReadyRead(1);
    }
    return -1;
}

void report(const char* what, std::vector<double> v) {
    if (v.empty()) {
        std::printf("%-8s no samples\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    auto pct = [&](double p) {
        return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
    };
    std::printf("%-8s n=%zu  median %.2f ms  p99 %.2f ms  max %.2f ms  %s\n", what, v.size(),
                pct(0.5), pct(0.99), v.back(),
                pct(0.99) <= 10.0 ? "(target met)" : "(ABOVE 10 ms)");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int count = 1000;
    QString simPath = QStringLiteral(MM_IOBOARDSIM);
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--count"))
            count = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--sim"))
            simPath = args[i + 1];
    }

    QProcess sim;
    sim.start(simPath, {QStringLiteral("--idle"), QStringLiteral("--monotonic")});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "bench_io: cannot start %s\n", qPrintable(simPath));
        return 1;
    }
    while (!sim.canReadLine())
        sim.waitForReadyRead(100);
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    SystemParams params;
    IoBoard board(params, device);
    if (waitLog(sim, "out", 0, 5000) < 0) {
        std::fprintf(stderr, "bench_io: the simulator never saw the outputs\n");
        return 1;
    }

    std::vector<double> out, in;
    for (int k = 0; k < count; ++k) {
        const bool on = k % 2 == 0;
        board.setOutput(4, on);
        const double t0 = nowMs();
        board.commitOutputs();
        const double seen = waitLog(sim, "out", on ? 16 : 0, 2000);
        if (seen > 0)
            out.push_back(seen - t0);
        // Spread the commits over the poll period.
        QThread::usleep(1000 + unsigned(k * 379 % 5000));
    }

    for (int k = 0; k < count; ++k) {
        sim.write("input 4 1\n");
        const double changed = waitLog(sim, "in", 0b10110, 2000);
        QElapsedTimer t;
        t.start();
        double edge = -1;
        while (t.elapsed() < 2000) {
            if (board.inputEdge(4)) {
                edge = nowMs();
                break;
            }
            QThread::usleep(100);
        }
        if (changed > 0 && edge > 0)
            in.push_back(edge - changed);
        sim.write("input 4 0\n");
        waitLog(sim, "in", 0b00110, 2000);
        while (t.elapsed() < 4000 && board.inputState(4)) {
            board.inputEdge(4);
            QThread::usleep(100);
        }
        QThread::usleep(unsigned(k * 379 % 5000));
    }

    std::printf("IO link over %s, %d changes each, poll period 5 ms\n", qPrintable(device), count);
    report("output", out);
    report("input", in);
    sim.write("quit\n");
    sim.waitForFinished(3000);
    return 0;
}
