#include "operationrecord.h"

#include "platform.h"

#include <glog/logging.h>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

QSqlDatabase connection() {
    return QSqlDatabase::database(QLatin1String(OperationRecord::kConnection), false);
}
}  // namespace

OperationRecord::OperationRecord(QString dir, Clock& clock)
    : m_dir(std::move(dir)), m_clock(clock) {}

OperationRecord::~OperationRecord() {
    close();
    QSqlDatabase::removeDatabase(QLatin1String(kConnection));
}

bool OperationRecord::open() {
    QSqlDatabase db = connection();
    if (!db.isValid())
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kConnection));
    if (db.isOpen())
        return true;
    db.setDatabaseName(m_dir + QStringLiteral("/RECORD.db"));
    if (!db.open())
        return false;
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    // a record file lost at run time is replaced by an empty one
    q.exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS RECORD(recordtime TEXT, recordpassword TEXT, remarks TEXT)"));
    return true;
}

void OperationRecord::close() {
    QSqlDatabase db = connection();
    if (db.isValid() && db.isOpen())
        db.close();
}

bool OperationRecord::isOpen() const {
    const QSqlDatabase db = connection();
    return db.isValid() && db.isOpen();
}

bool OperationRecord::insert(const QString& levelText, const QString& text) {
    if (!open())
        return false;
    QSqlDatabase db = connection();
    QSqlQuery q(db);
    q.prepare(
        QStringLiteral("INSERT INTO RECORD(recordtime, recordpassword, remarks) VALUES(?, ?, ?)"));
    q.addBindValue(m_clock.now().time().toString(QStringLiteral("hh.mm.ss")));
    q.addBindValue(levelText);
    q.addBindValue(text);
    if (!q.exec()) {
        LOG(WARNING) << "record lost: " << q.lastError().text().toStdString();
        return false;
    }
    return true;
}

bool OperationRecord::clear() {
    if (!open())
        return false;
    QSqlDatabase db = connection();
    return QSqlQuery(db).exec(QStringLiteral("DELETE FROM RECORD"));
}

void OperationRecord::readStoredDate() {
    QFile f(m_dir + QStringLiteral("/time.txt"));
    if (f.open(QIODevice::ReadOnly)) {
        const QString token = QString::fromLatin1(f.readAll()).simplified().section(u' ', 0, 0);
        m_storedDate = QDate::fromString(token, kDateFormat);
    }
    if (!m_storedDate.isValid()) {
        m_storedDate = m_clock.now().date();
        writeStoredDate(m_storedDate);
    }
}

bool OperationRecord::writeStoredDate(const QDate& d) {
    QFile f(m_dir + QStringLiteral("/time.txt"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(d.toString(kDateFormat).toLatin1());
    return true;
}

bool OperationRecord::checkDate() {
    const QDate today = m_clock.now().date();
    if (!m_storedDate.isValid())
        readStoredDate();
    if (today == m_storedDate)
        return false;

    close();
    QDir().mkpath(m_dir + QStringLiteral("/RECORD"));
    const QString current = m_dir + QStringLiteral("/RECORD.db");
    const QString archive = m_dir + QStringLiteral("/RECORD/") +
                            m_storedDate.toString(kDateFormat) + QStringLiteral(".db");
    if (QFile::exists(current)) {
        if (QFile::exists(archive))
            QFile::remove(archive);
        if (!QFile::rename(current, archive)) {
            // Keep writing into today's file rather than overwrite records that
            // could not be archived; the next check tries again.
            LOG(WARNING) << "record archive failed: " << archive.toStdString();
            return false;
        }
    }
    const QString blank = m_dir + QStringLiteral("/RECORDNULL.db");
    if (!QFile::copy(blank, current))
        LOG(WARNING) << "record template missing: " << blank.toStdString();
    QFile::setPermissions(current, QFile::permissions(current) | QFileDevice::WriteOwner);
    m_clock.sleepMs(300);
    m_storedDate = today;
    writeStoredDate(today);
    return true;
}
