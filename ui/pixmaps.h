#pragma once

#include <QPixmap>
#include <array>

// Shared pictures loaded once from ./images; a missing file gives an empty pixmap.
struct Pixmaps {
    std::array<QPixmap, 12> numbered;  // 0 OUT1 .. 11 logo
    QPixmap origin, moveUp, moveDown, moveLeft, moveRight, enlarge, reduce;

    void load(const QString& imagesDir);
    // File names of the numbered entries, in order.
    static const std::array<const char*, 12>& numberedFiles();
};

// The shared instance (created on first use, after the application object).
Pixmaps& gPixmaps();
