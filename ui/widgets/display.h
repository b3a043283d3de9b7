#pragma once

#include <QFont>
#include <QSize>
#include <QString>

// The display the screens are laid out for. The main window sets it once at
// start from the panel's screen; every widget chooses its layout from it when
// it is built.
struct DisplaySize {
    int width = 1024;
    int height = 768;
    // The large layout is used on displays wider than 1024 pixels.
    bool large() const { return width > 1024; }
};

DisplaySize& displaySize();
inline bool largeLayout() {
    return displaySize().large();
}

// Font family of all text, and of the IP address and date entries.
inline const QString kTextFont = QStringLiteral("WenQuanYi Micro Hei");
inline const QString kEntryFont = QStringLiteral("WenQuanYi Zen Hei");

// A font of the given family with a pixel size.
QFont pixelFont(const QString& family, int pixelSize);
// The largest pixel size from pixelSize down to minimum at which text (lines
// broken only at its own line breaks) fits room; captions that are longer in
// one language are drawn smaller rather than cut off.
// With wrap the text may also break between words (and CJK characters).
int fittingPixelSize(const QString& family, int pixelSize, const QString& text, QSize room,
                     int minimum = 8, bool wrap = false);
