#pragma once

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QString>
#include <atomic>

// Text log of Qt debug and warning messages: one file per start in
// <appDir>/RECORD/LOG, written only while the "Use Log" parameter is on.
class LogManager {
public:
    static constexpr int kMaxFiles = 49;

    // Prepares the directory, removes the oldest file when more than kMaxFiles
    // exist, and installs the Qt message handler.
    LogManager(const QString& appDir, const QDateTime& startTime);
    ~LogManager();
    LogManager(const LogManager&) = delete;
    LogManager& operator=(const LogManager&) = delete;

    static LogManager* instance();
    void setEnabled(bool on) { m_enabled = on; }
    QString filePath() const { return m_path; }
    // Writes one line as the message handler does (any thread).
    void write(QtMsgType type, const QString& message, const QDateTime& when);

private:
    QString m_path;
    QString m_startDate;
    QFile m_file;
    QMutex m_mutex;
    std::atomic<bool> m_enabled{false};
    QtMessageHandler m_previous = nullptr;
};

// Deletes the oldest regular files of dir until at most keep remain.
void pruneOldestFiles(const QString& dir, const QStringList& nameFilters, int keep);

// Diagnostic log (glog) in dir; safe to call more than once per process.
void initDiagnosticLog(const char* programName, const QString& dir);
