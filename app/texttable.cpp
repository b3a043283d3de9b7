#include "texttable.h"

#include <QFile>

namespace {

QString unescape(QStringView field) {
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field[i];
        if (c != u'\\' || i + 1 == field.size()) {
            out += c;
            continue;
        }
        const QChar e = field[++i];
        if (e == u'n')
            out += u'\n';
        else if (e == u'r')
            out += u'\r';
        else if (e == u't')
            out += u'\t';
        else
            out += e;
    }
    return out;
}

}  // namespace

TextTable::TextTable() : m_rows(kMessages) {}

bool TextTable::parse(const QString& source, QString* error) {
    int lineNo = 0;
    for (QStringView line : QStringView(source).split(u'\n')) {
        ++lineNo;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const auto fields = line.split(u'\t');
        bool ok = false;
        const int id = fields.value(0).toInt(&ok);
        if (fields.size() != 4 || !ok || id < 0 || id >= kMessages) {
            if (error)
                *error = QStringLiteral("line %1: expected id and three texts").arg(lineNo);
            return false;
        }
        for (int l = 0; l < kLanguages; ++l)
            m_rows[id][l] = unescape(fields[l + 1]);
    }
    return true;
}

bool TextTable::loadBuiltIn(QString* error) {
    QFile f(QStringLiteral(":/texts.tsv"));
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("built-in text table missing");
        return false;
    }
    return parse(QString::fromUtf8(f.readAll()), error);
}

const TextTable::Row& TextTable::operator[](int m) const {
    return (m >= 0 && m < kMessages) ? m_rows[m] : m_empty;
}
