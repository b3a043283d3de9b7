#include "inputrules.h"

#include <QLocale>
#include <algorithm>
#include <limits>

namespace {
// Captions of the full keyboard's toggle and case keys.
constexpr int kMsgSymbol = 1250, kMsgLower = 1251, kMsgCapital = 1252, kMsgCharacter = 1253;

qint64 saturate(qint64 v) {
    return std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
}
}  // namespace

int EditRange::clamp(qint64 value) const {
    if (value >= minimum)
        return static_cast<int>(std::min<qint64>(value, maximum));
    if (value == 0 && allowZero)
        return 0;
    return minimum;
}

qint64 steppedValue(int value, int delta) {
    return saturate(qint64{value} + delta);
}

qint64 typedValue(int value, bool fresh, int digit) {
    if (fresh)
        return digit;
    return saturate(qint64{value} * 10 + digit);
}

QString valueText(int kind, int value, int scale) {
    if (kind == 0)
        return QString::number(value);
    if (kind == 2)
        return QString::number(double(value) / (scale == 0 ? 1 : scale), 'g', 6);
    return {};
}

QString stepCaption(int sign, int amount, int scale) {
    const double step = double(amount) / (scale == 0 ? 1 : scale);
    return QStringLiteral("%1 %2")
        .arg(QChar(sign < 0 ? u'-' : u'+'))
        .arg(QString::number(step, 'g', QLocale::FloatingPointShortest));
}

int unitLabelX(int fieldWidth, int labelWidth, int characters) {
    return (fieldWidth - labelWidth + static_cast<int>(13.5 * characters)) / 2;
}

QString octetText(const QString& typed) {
    const int v = std::clamp(typed.toInt(), 0, 255);
    return QString::number(v);
}

std::array<std::optional<QString>, 4> splitAddress(const QString& address) {
    std::array<std::optional<QString>, 4> fields;
    int field = 0;
    QString part;
    for (QChar c : address) {
        if (c == u'.') {
            field = std::min(field + 1, 3);
            part.clear();
            continue;
        }
        part += c;
        fields[field] = part;
    }
    return fields;
}

QPoint placeKeyboard(const KeyboardPlacement& p) {
    int x = p.fieldPos.x();
    int y = p.fieldPos.y() + p.fieldHeight + 5;
    const int kw = p.keyboard.width(), kh = p.keyboard.height();
    if (x + kw > p.host.width())
        x = p.host.width() - kw;
    if (y + kh >= p.screenHeight - 49)
        y = y - kh - 45;  // above the field
    if (y + kh > p.host.height())
        y = p.host.height() - kh;
    // a host smaller than the keyboard still shows its top-left corner
    return {std::max(x, 0), std::max(y, 0)};
}

QString pageKeys(KeyPage page) {
    const QString row0 = QStringLiteral("1234567890_");
    switch (page) {
        case KeyPage::Capitals:
            return row0 + QStringLiteral("QWERTYUIOPASDFGHJKLZXCVBNM");
        case KeyPage::SmallLetters:
            return row0 + QStringLiteral("qwertyuiopasdfghjklzxcvbnm");
        case KeyPage::Symbols:
            return row0 + QStringLiteral("-=[]\\;',./@#$%^?*()`~!{}:\"");
    }
    return row0;
}

KeyPage pageAfterToggle(KeyPage page) {
    return page == KeyPage::Symbols ? KeyPage::Capitals : KeyPage::Symbols;
}

KeyPage pageAfterCase(KeyPage page) {
    return page == KeyPage::SmallLetters ? KeyPage::Capitals : KeyPage::SmallLetters;
}

int toggleCaptionId(KeyPage page) {
    return page == KeyPage::Symbols ? kMsgCharacter : kMsgSymbol;
}

int caseCaptionId(KeyPage page) {
    return page == KeyPage::SmallLetters ? kMsgCapital : kMsgLower;
}

int buttonFontSize(bool large, int sizeClass, int language) {
    const bool zhCN = language == 0;
    if (!large)
        return zhCN ? 16 : 13;
    if (sizeClass >= 4)
        return zhCN ? 33 : 30;
    return zhCN ? 27 : 22;
}

int sliderFilledWidth(int usable, int value, int minimum, int maximum) {
    if (maximum <= minimum)
        return 0;
    const qint64 w = qint64{usable} * (qint64{value} - minimum) / (qint64{maximum} - minimum);
    return static_cast<int>(std::clamp<qint64>(w, 0, usable));
}

int sliderDragStep(int dx, int usable, int minimum, int maximum) {
    if (maximum <= minimum || usable <= 0)
        return 0;
    // truncated toward zero, so slow movements accumulate
    return static_cast<int>(double(dx) / usable * (double(maximum) - minimum));
}
