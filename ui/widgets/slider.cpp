#include "slider.h"

#include "colorbutton.h"
#include "display.h"
#include "edit.h"
#include "inputrules.h"
#include "pixmaps.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <limits>

namespace {
// pictures: slider track, filled part of the track, handle
constexpr int kEditPicture = 7, kTrackPicture = 4, kFillPicture = 5, kHandlePicture = 6;

void drawPicture(QPainter& p, const QRect& r, int picture, const QColor& fallback) {
    const QPixmap& pm = gPixmaps().numbered[picture];
    if (pm.isNull())
        p.fillRect(r, fallback);
    else
        p.drawPixmap(r, pm);
}
}  // namespace

Slider::Slider(KeyboardHost& keys, int minimum, int maximum, int pageStep, int value,
               QWidget* parent, const QString& caption)
    : QAbstractSlider(parent),
      m_add(new ColorButton(QStringLiteral("+ 1"), this, 3)),
      m_sub(new ColorButton(QStringLiteral("- 1"), this, 3)),
      m_field(new Edit(keys, 9, this)) {
    setOrientation(Qt::Horizontal);
    const QSize button = largeLayout() ? QSize(70, 41) : QSize(40, 28);
    m_add->setFixedSize(button);
    m_sub->setFixedSize(button);
    m_add->setStepRepeat();
    m_sub->setStepRepeat();
    m_field->setFixedWidth(0);
    m_field->setFocusPolicy(Qt::NoFocus);
    connect(m_add, &QPushButton::clicked, this, &Slider::Add);
    connect(m_sub, &QPushButton::clicked, this, &Slider::Sub);
    connect(m_field, &QLineEdit::textChanged, this, &Slider::SetText);
    connect(this, &QAbstractSlider::valueChanged, this, qOverload<>(&QWidget::update));
    reconfigure(minimum, maximum, pageStep, value, caption);
}

void Slider::reconfigure(int minimum, int maximum, int pageStep, int value,
                         const QString& caption) {
    setObjectName(caption);
    setRange(minimum, maximum);
    setPageStep(pageStep);
    setValue(value);
    update();
}

QRect Slider::valueBox() const {
    if (largeLayout())
        return {135, 3, 80, height() - 6};
    return {69, 8, 40, height() - 16};
}

void Slider::Add() {
    setValue(value() + 1);
}

void Slider::Sub() {
    setValue(value() - 1);
}

void Slider::SetText(const QString& text) {
    // the keypad empties the field when it opens; the value stays until a digit comes
    if (text.isEmpty())
        return;
    const uint v = text.toUInt();
    setValue(static_cast<int>(std::min<uint>(v, uint(std::numeric_limits<int>::max()))));
}

void Slider::resizeEvent(QResizeEvent*) {
    const int w = width() - 1;
    if (largeLayout()) {
        m_track = w - 369;
        const int y = (height() - 28) / 2 - 6;
        m_add->move(w - 69, y);
        m_sub->move(220, y);
    } else {
        m_track = w - 201;
        const int y = (height() - 28) / 2;
        m_add->move(w - 39, y);
        m_sub->move(114, y);
    }
    m_inset = static_cast<int>(0.03 * m_track);
    m_usable = static_cast<int>(0.95 * m_track);
}

void Slider::paintEvent(QPaintEvent*) {
    const bool large = largeLayout();
    QPainter p(this);
    p.setPen(Qt::green);
    const QRect captionBox(0, 0, large ? 119 : 63, height());
    p.setFont(pixelFont(
        kTextFont, fittingPixelSize(kTextFont, large ? 30 : 14, objectName(), captionBox.size())));
    p.drawText(captionBox, Qt::AlignLeft | Qt::AlignVCenter, objectName());
    p.setFont(pixelFont(kTextFont, large ? 30 : 14));

    const QRect box = valueBox();
    drawPicture(p, box, kEditPicture, QColor(0x20, 0x20, 0x20));
    p.drawText(box, Qt::AlignCenter, QString::number(value()));

    const int trackX = box.right() + 1 + (large ? 80 : 48);
    drawPicture(p, QRect(trackX, box.y(), m_track, box.height()), kTrackPicture, Qt::darkGray);
    const int filled = sliderFilledWidth(m_usable, value(), minimum(), maximum());
    if (filled > 0)
        drawPicture(p, QRect(trackX + m_inset, box.y() + 8, filled, box.height() - 16),
                    kFillPicture, Qt::green);
    m_handle = QRect(trackX + m_inset + filled, 3, 10, height() - 6);
    drawPicture(p, m_handle, kHandlePicture, Qt::white);
}

void Slider::mousePressEvent(QMouseEvent* e) {
    const QPoint pt = e->position().toPoint();
    if (pt.x() != 0 && pt.x() >= m_handle.x() - 20 && pt.x() <= m_handle.x() + 29)
        m_drag = pt;
}

void Slider::mouseMoveEvent(QMouseEvent* e) {
    if (m_drag.x() < 0)
        return;
    const int x = e->position().toPoint().x();
    const int step = sliderDragStep(x - m_drag.x(), m_usable, minimum(), maximum());
    if (step != 0) {
        setValue(value() + step);
        m_drag.setX(x);
    }
}

void Slider::mouseReleaseEvent(QMouseEvent* e) {
    m_drag = QPoint(-1, -1);
    const QRect box = valueBox();
    const int x = e->position().toPoint().x();
    if (x >= box.left() && x <= box.right()) {
        QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
        QCoreApplication::sendEvent(m_field, &in);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(0, 0),
                            m_field->mapToGlobal(QPointF(0, 0)), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(m_field, &release);
    }
}
