#include "editbox.h"

#include "colorbutton.h"
#include "display.h"
#include "edit.h"

#include <QHBoxLayout>
#include <QLabel>

EditBox::EditBox(KeyboardHost& keys, int minimum, int maximum, QWidget* parent,
                 const QString& title, const QString& unit, int kind, int scale, int keyboardFlags)
    : QWidget(parent),
      m_range{minimum, maximum, false},
      m_kind(kind),
      m_scale(scale == 0 ? 1 : scale),
      m_titleSize(largeLayout() ? 27 : 12),
      m_title(new QLabel(title, this)) {
    const bool large = largeLayout();
    const int fontSize = m_titleSize;
    const int height = large ? 50 : 28;
    m_title->setFixedSize(large ? 160 : 65, height);
    fitTitle();
    setLabelColor(Qt::yellow);

    const int signs[4] = {-1, -1, 1, 1};
    const int amounts[4] = {5, 1, 1, 5};
    for (int i = 0; i < 4; ++i) {
        m_steps[i] = new ColorButton(stepCaption(signs[i], amounts[i], m_scale), this, 4);
        m_steps[i]->setFixedSize(large ? 127 : 40, height);
        m_steps[i]->setStepRepeat();
    }
    m_field = new EditParam(keys, keyboardFlags, unit, *this);
    m_field->setFixedSize(large ? 137 : 50, height);
    m_field->setFont(pixelFont(kTextFont, fontSize));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(large ? 10 : 5);
    row->setSizeConstraint(QLayout::SetFixedSize);
    row->addWidget(m_title);
    row->addWidget(m_steps[0]);
    row->addWidget(m_steps[1]);
    row->addWidget(m_field);
    row->addWidget(m_steps[2]);
    row->addWidget(m_steps[3]);

    connect(m_steps[0], &QPushButton::clicked, this, &EditBox::SubFive);
    connect(m_steps[1], &QPushButton::clicked, this, &EditBox::SubOne);
    connect(m_steps[2], &QPushButton::clicked, this, &EditBox::AddOne);
    connect(m_steps[3], &QPushButton::clicked, this, &EditBox::AddFive);
    connect(m_field, &EditParam::focusOut, this, &EditBox::CheckRange);
}

void EditBox::step(int delta) {
    m_value = static_cast<int>(steppedValue(m_value, delta));
    CheckRange();
}

void EditBox::AddOne() {
    step(1);
}
void EditBox::SubOne() {
    step(-1);
}
void EditBox::AddFive() {
    step(5);
}
void EditBox::SubFive() {
    step(-5);
}

void EditBox::setValue(int value) {
    m_value = value;
    CheckRange();
}

void EditBox::setValue() {
    m_field->setText(valueText(m_kind, m_value, m_scale));
}

void EditBox::CheckRange() {
    m_value = m_range.clamp(m_value);
    setValue();
    emit valueChanged(m_value);
}

void EditBox::setText(const QString& title) {
    m_title->setText(title);
    fitTitle();
}

void EditBox::fitTitle() {
    // a long title breaks onto a second line when that keeps it clearly larger
    const QString& title = m_title->text();
    const int oneLine = fittingPixelSize(kTextFont, m_titleSize, title, m_title->size());
    const int wrapped = oneLine < m_titleSize ? fittingPixelSize(kTextFont, m_titleSize, title,
                                                                 m_title->size(), 8, true)
                                              : oneLine;
    const bool wrap = wrapped > oneLine + 2;
    m_title->setWordWrap(wrap);
    m_title->setFont(pixelFont(kTextFont, wrap ? wrapped : oneLine));
}

void EditBox::setSampleShow() {
    for (ColorButton* b : m_steps)
        b->hide();
}

void EditBox::setLabelColor(const QColor& color) {
    QPalette pal = m_title->palette();
    pal.setColor(QPalette::WindowText, color);
    m_title->setPalette(pal);
}
