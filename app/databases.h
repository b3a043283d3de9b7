#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <optional>

// Opening the working directory's SQLite files. A file counts as usable only
// when it exists, opens, passes SQLite's integrity check and holds its table;
// SQLite alone would open a damaged or missing file without complaint.
namespace db {

// PARAM.db, RECORD.db and SN.db with the connection name each is opened under,
// the table it must hold, the repair source and the pause before rebooting.
struct StoreSpec {
    const char* file;
    const char* connection;
    const char* table;
    const char* repairSource;   // relative to the working directory
    const char* repairCommand;  // the command an operator would type for the same repair
    int messageId;              // warning shown before the repair
    int pauseMs;
};

const StoreSpec& paramStore();
const StoreSpec& recordStore();
const StoreSpec& serialStore();

// Opens dir/store.file under store.connection with synchronous FULL; false when
// the file is missing or fails the checks (the connection is then closed).
bool openChecked(const StoreSpec& store, const QString& dir, QString* why = nullptr);
// True when an open connection passes "PRAGMA quick_check" and holds table.
bool isHealthy(QSqlDatabase& db, const QString& table, QString* why = nullptr);
// Replaces dir/store.file by the repair source; false when the copy failed.
bool repair(const StoreSpec& store, const QString& dir);

void closeAll();

// Runs one statement with its values bound in order; false (and a log line) on failure.
bool execBound(QSqlDatabase& db, const QString& sql, const QVariantList& values);
// The value column of the row called name in a name/value table; nullopt when absent.
std::optional<QString> selectValue(QSqlDatabase& db, const QString& table, const QString& name);

// Creates dbFile anew from an SQL text (statements end with ';' at a line end,
// "--" lines are comments), in one transaction. Names the failure in *error.
bool runScript(const QString& sqlFile, const QString& dbFile, QString* error = nullptr);

}  // namespace db
