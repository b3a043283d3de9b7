#include "display.h"

#include <QFontMetrics>

DisplaySize& displaySize() {
    static DisplaySize shared;
    return shared;
}

int fittingPixelSize(const QString& family, int pixelSize, const QString& text, QSize room,
                     int minimum, bool wrap) {
    const int flags = Qt::AlignCenter | (wrap ? Qt::TextWordWrap : 0);
    int size = pixelSize;
    while (size > minimum) {
        const QFontMetrics fm(pixelFont(family, size));
        const QRect need = fm.boundingRect(QRect(QPoint(0, 0), room), flags, text);
        if (need.width() <= room.width() && need.height() <= room.height())
            break;
        --size;
    }
    return size;
}

QFont pixelFont(const QString& family, int pixelSize) {
    QFont f(family);
    f.setPixelSize(pixelSize);
    return f;
}
