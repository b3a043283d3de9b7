#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh working directory laid out from the shipped template.
class TestWorkDir {
public:
    TestWorkDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Runs SQL on one of its databases through a private connection.
    bool exec(const QString& dbFile, const QString& sql) const;
    QString value(const QString& dbFile, const QString& sql) const;
    // Creates a file with the given content.
    bool write(const QString& name, const QByteArray& content) const;

private:
    QTemporaryDir m_dir;
};
