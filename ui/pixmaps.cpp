#include "pixmaps.h"

Pixmaps& gPixmaps() {
    static Pixmaps shared;
    return shared;
}

const std::array<const char*, 12>& Pixmaps::numberedFiles() {
    static const std::array<const char*, 12> files = {
        "OUT1.png",    "OUT0.png", "buttonu.png", "buttond.png", "slidert.png",    "sliderd.png",
        "slideru.png", "edit.png", "line.png",    "title.png",   "background.png", "logo.bmp"};
    return files;
}

void Pixmaps::load(const QString& imagesDir) {
    const QString dir = imagesDir + u'/';
    for (size_t i = 0; i < numbered.size(); ++i)
        numbered[i].load(dir + QLatin1String(numberedFiles()[i]));
    origin.load(dir + QStringLiteral("Origin.png"));
    moveUp.load(dir + QStringLiteral("MoveUp.png"));
    moveDown.load(dir + QStringLiteral("MoveDown.png"));
    moveLeft.load(dir + QStringLiteral("MoveLeft.png"));
    moveRight.load(dir + QStringLiteral("MoveRight.png"));
    enlarge.load(dir + QStringLiteral("EnlargeScale.png"));
    reduce.load(dir + QStringLiteral("ReductionScale.png"));
}
