#pragma once

#include <QDate>
#include <QString>

class Clock;

// The operator-facing history in RECORD.db (table RECORD: recordtime,
// recordpassword, remarks) with its daily archive in ./RECORD.
class OperationRecord {
public:
    static constexpr const char* kConnection = "dbRecord";

    // dir is the working directory holding RECORD.db, RECORDNULL.db, time.txt.
    OperationRecord(QString dir, Clock& clock);
    ~OperationRecord();
    OperationRecord(const OperationRecord&) = delete;
    OperationRecord& operator=(const OperationRecord&) = delete;

    bool open();
    void close();
    bool isOpen() const;

    // Appends one row stamped with the current time; the text is stored as it
    // stands. Returns false when the record could not be written.
    bool insert(const QString& levelText, const QString& text);
    // Empties today's record.
    bool clear();

    // Reads "time.txt"; when missing, writes today's date into it.
    void readStoredDate();
    QDate storedDate() const { return m_storedDate; }

    // Daily rotation: when the date changed, today's file is archived under the
    // stored date and a fresh record takes its place. Returns true when it rotated.
    bool checkDate();

private:
    bool writeStoredDate(const QDate& d);

    QString m_dir;
    Clock& m_clock;
    QDate m_storedDate;
};
