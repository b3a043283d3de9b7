#include "logs.h"

#include <glog/logging.h>
#include <QDir>
#include <QFileInfo>

namespace {
LogManager* gLogManager = nullptr;

void messageHandler(QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (gLogManager)
        gLogManager->write(type, msg, QDateTime::currentDateTime());
}

void failureWriter(const char* data, size_t size) {
    LOG(INFO) << std::string(data, size);
}
}  // namespace

void pruneOldestFiles(const QString& dir, const QStringList& nameFilters, int keep) {
    const QFileInfoList files = QDir(dir).entryInfoList(nameFilters, QDir::Files, QDir::Time);
    for (qsizetype i = files.size() - 1; i >= keep; --i)  // newest first: delete from the end
        QFile::remove(files[i].absoluteFilePath());
}

LogManager::LogManager(const QString& appDir, const QDateTime& startTime) {
    const QString dir = appDir + QStringLiteral("/RECORD/LOG");
    QDir().mkpath(dir);
    m_path = dir + u'/' + startTime.toString(QStringLiteral("yyyyMMdd_HHmmss")) +
             QStringLiteral("_log.txt");
    m_startDate = startTime.date().toString(QStringLiteral("yyyy-MM-dd"));
    m_file.setFileName(m_path);
    // one old file goes per start once the limit is passed
    const auto files = QDir(dir).entryInfoList({QStringLiteral("*_log.txt")}, QDir::Files,
                                               QDir::Time | QDir::Reversed);
    if (files.size() > kMaxFiles)
        QFile::remove(files.first().absoluteFilePath());
    gLogManager = this;
    m_previous = qInstallMessageHandler(messageHandler);
}

LogManager::~LogManager() {
    qInstallMessageHandler(m_previous);
    gLogManager = nullptr;
}

LogManager* LogManager::instance() {
    return gLogManager;
}

void LogManager::write(QtMsgType type, const QString& message, const QDateTime& when) {
    if (!m_enabled)
        return;
    const char* letter = "I";
    if (type == QtWarningMsg)
        letter = "W";
    else if (type == QtCriticalMsg)
        letter = "E";
    else if (type == QtFatalMsg)
        letter = "F";
    const QString line =
        QStringLiteral("[%1 %2] %3\n")
            .arg(QLatin1String(letter), when.toString(QStringLiteral("yyyy/MM/dd-HH:mm:ss.zzz")),
                 message);
    QMutexLocker lock(&m_mutex);
    if (!m_file.isOpen()) {
        const bool fresh = !m_file.exists();
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
            return;
        if (fresh)
            m_file.write("create newlog version 15.0.2.26 " + m_startDate.toUtf8() + '\n');
    }
    m_file.write(line.toUtf8());
    m_file.flush();
}

void initDiagnosticLog(const char* programName, const QString& dir) {
    static bool initialized = false;
    if (initialized)
        return;
    initialized = true;
    QDir().mkpath(dir);
    const std::string d = QDir(dir).absolutePath().toStdString() + "/";
    FLAGS_log_dir = d;
    FLAGS_logbufsecs = 0;
    FLAGS_max_log_size = 100;
    FLAGS_stop_logging_if_full_disk = true;
    FLAGS_logtostderr = false;
    FLAGS_alsologtostderr = false;
    FLAGS_stderrthreshold = google::GLOG_FATAL;
    static const std::string name =
        QFileInfo(QString::fromLocal8Bit(programName)).fileName().toStdString();
    google::InitGoogleLogging(name.c_str());
    google::SetLogFilenameExtension(".log");
    google::InstallFailureSignalHandler();
    google::InstallFailureWriter(failureWriter);
    pruneOldestFiles(dir, {QStringLiteral("*")}, 49);
}
