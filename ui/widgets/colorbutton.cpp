#include "colorbutton.h"

#include "display.h"
#include "globals.h"
#include "inputrules.h"
#include "pixmaps.h"

#include <QPainter>

namespace {
constexpr int kPictureUp = 2, kPictureDown = 3;  // buttonu.png, buttond.png
constexpr int kSmallestCaption = 8;
constexpr int kCaptionPadding = 4;  // each side
}  // namespace

ColorButton::ColorButton(const QString& caption, QWidget* parent, int sizeClass)
    : QPushButton(caption, parent), m_sizeClass(sizeClass) {
    setFocusPolicy(Qt::NoFocus);
}

ColorButton::ColorButton(const QPixmap& picture, QWidget* parent)
    : QPushButton(parent), m_ownPicture(true), m_picture(picture) {
    setFocusPolicy(Qt::NoFocus);
}

void ColorButton::setStepRepeat() {
    setAutoRepeat(true);
    setAutoRepeatDelay(300);
    setAutoRepeatInterval(50);
}

int ColorButton::captionPixelSize() const {
    const QSize room = rect().adjusted(kCaptionPadding, 0, -kCaptionPadding, 0).size();
    return fittingPixelSize(kTextFont, buttonFontSize(largeLayout(), m_sizeClass, language), text(),
                            room, kSmallestCaption);
}

void ColorButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (m_ownPicture) {
        p.drawPixmap(rect(), m_picture);
        return;
    }
    const QPixmap& back = gPixmaps().numbered[isDown() ? kPictureDown : kPictureUp];
    if (back.isNull())
        p.fillRect(rect(), isDown() ? QColor(0x27, 0x50, 0x6f) : QColor(0x3d, 0x6f, 0x98));
    else
        p.drawPixmap(rect(), back);
    p.setPen(Qt::white);
    p.setFont(pixelFont(kTextFont, captionPixelSize()));
    p.drawText(rect(), Qt::AlignCenter, text());
}
