#pragma once

#include <QString>
#include <array>
#include <vector>

// The localized text table: 2048 messages in Simplified Chinese (0), English (1)
// and Traditional Chinese (2). gText[m][language] is message m in that language.
class TextTable {
public:
    static constexpr int kMessages = 2048;
    static constexpr int kLanguages = 3;
    using Row = std::array<QString, kLanguages>;

    TextTable();

    // Parses the tab-separated source ("id<TAB>zh-CN<TAB>en<TAB>zh-TW", escapes
    // \n \r \t \\, '#' comments). Returns false and names the first bad line in
    // *error; entries parsed before it stay.
    bool parse(const QString& source, QString* error = nullptr);
    // Loads the table compiled into the program.
    bool loadBuiltIn(QString* error = nullptr);

    const Row& operator[](int m) const;
    bool has(int m) const { return m >= 0 && m < kMessages && !m_rows[m][1].isEmpty(); }

private:
    std::vector<Row> m_rows;
    Row m_empty;
};
