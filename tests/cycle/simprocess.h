#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <functional>

// The board simulator as a child process on its own pseudo-terminal; collects
// its log lines and waits on conditions with a bounded time.
class SimProcess {
public:
    explicit SimProcess(const QStringList& args) {
        m_proc.setProgram(QStringLiteral(MM_IOBOARDSIM));
        m_proc.setArguments(args);
        m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_proc.start();
        if (!m_proc.waitForStarted(5000))
            return;
        QElapsedTimer t;
        t.start();
        while (!m_proc.canReadLine() && t.elapsed() < 5000)
            m_proc.waitForReadyRead(100);
        m_path = QString::fromLocal8Bit(m_proc.readLine()).trimmed();
    }
    ~SimProcess() {
        if (m_proc.state() == QProcess::NotRunning)
            return;
        m_proc.write("quit\n");
        if (!m_proc.waitForFinished(3000)) {
            m_proc.kill();
            m_proc.waitForFinished(3000);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const QString& path() const { return m_path; }
    const QStringList& lines() const { return m_lines; }
    qsizetype mark() const { return m_lines.size(); }

    void send(const QString& command) {
        m_proc.write(command.toUtf8() + '\n');
        m_proc.waitForBytesWritten(1000);
    }

    // Runs events and reads the log until cond() holds or timeoutMs pass.
    bool waitUntil(const std::function<bool()>& cond, int timeoutMs) {
        QElapsedTimer t;
        t.start();
        for (;;) {
            QCoreApplication::processEvents();
            drain();
            if (cond())
                return true;
            if (t.elapsed() > timeoutMs)
                return false;
            m_proc.waitForReadyRead(2);
        }
    }

    // A log line from index from on that contains text.
    bool hasLine(const QString& text, qsizetype from = 0) const { return count(text, from) > 0; }
    int count(const QString& text, qsizetype from = 0) const {
        int n = 0;
        for (qsizetype i = from; i < m_lines.size(); ++i)
            n += m_lines[i].contains(text) ? 1 : 0;
        return n;
    }
    bool waitLine(const QString& text, qsizetype from, int timeoutMs) {
        return waitUntil([&] { return hasLine(text, from); }, timeoutMs);
    }
    // The output word of the last "out" line, -1 before the first.
    int outputs() const {
        for (qsizetype i = m_lines.size() - 1; i >= 0; --i) {
            const QStringList f = m_lines[i].split(QLatin1Char(' '));
            if (f.size() > 2 && f[1] == QLatin1String("out"))
                return f[2].toInt();
        }
        return -1;
    }

private:
    void drain() {
        while (m_proc.canReadLine())
            m_lines << QString::fromUtf8(m_proc.readLine()).trimmed();
    }

    QProcess m_proc;
    QString m_path;
    QStringList m_lines;
};
