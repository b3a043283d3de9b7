#include "editip.h"

#include "display.h"
#include "edit.h"
#include "inputrules.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>

EditIP::EditIP(KeyboardHost& keys, const QString& caption, QWidget* parent)
    : QWidget(parent), m_caption(new QLabel(caption, this)) {
    const bool large = largeLayout();
    const QFont font = pixelFont(kEntryFont, large ? 30 : 17);
    setFixedHeight(large ? 80 : 50);
    m_caption->setFixedWidth(large ? 200 : 100);
    m_caption->setFont(pixelFont(kEntryFont, fittingPixelSize(kEntryFont, large ? 30 : 17, caption,
                                                              {m_caption->width(), height()})));
    QPalette pal = m_caption->palette();
    pal.setColor(QPalette::WindowText, Qt::yellow);
    m_caption->setPalette(pal);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_caption);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setFont(font);
            dot->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            dot->setFixedHeight(large ? 50 : 30);  // level with the bottom of the fields
            dot->setPalette(pal);
            row->addWidget(dot);
        }
        m_octets[i] = new Edit(keys, 9, this);
        m_octets[i]->setFixedSize(large ? QSize(100, 50) : QSize(50, 30));
        m_octets[i]->setFont(font);
        m_octets[i]->setAlignment(Qt::AlignCenter);
        m_octets[i]->setValidator(new QIntValidator(0, 255, m_octets[i]));
        row->addWidget(m_octets[i]);
    }
    row->addStretch();
    connect(m_octets[0], &QLineEdit::textChanged, this, &EditIP::SlotTextChg_0);
    connect(m_octets[1], &QLineEdit::textChanged, this, &EditIP::SlotTextChg_1);
    connect(m_octets[2], &QLineEdit::textChanged, this, &EditIP::SlotTextChg_2);
    connect(m_octets[3], &QLineEdit::textChanged, this, &EditIP::SlotTextChg_3);
    connect(m_octets[0], &Edit::sig_Dot, this, &EditIP::SlotPressDot_0);
    connect(m_octets[1], &Edit::sig_Dot, this, &EditIP::SlotPressDot_1);
    connect(m_octets[2], &Edit::sig_Dot, this, &EditIP::SlotPressDot_2);
}

QString EditIP::text() const {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(m_octets[0]->text().toInt())
        .arg(m_octets[1]->text().toInt())
        .arg(m_octets[2]->text().toInt())
        .arg(m_octets[3]->text().toInt());
}

void EditIP::setText(const QString& address) {
    const auto parts = splitAddress(address);
    for (int i = 0; i < 4; ++i)
        if (parts[i])
            m_octets[i]->setText(*parts[i]);
}

void EditIP::octetChanged(int i, const QString& typed) {
    const QString shown = octetText(typed);
    if (shown != typed) {
        m_octets[i]->setText(shown);  // comes back here with the corrected text
        return;
    }
    m_composed = text();
    emit textchange(m_composed);
}

void EditIP::pressDot(int i) {
    m_octets[i + 1]->setText(QStringLiteral("0"));
    m_octets[i + 1]->setFocus();
}

void EditIP::SlotTextChg_0(const QString& text) {
    octetChanged(0, text);
}
void EditIP::SlotTextChg_1(const QString& text) {
    octetChanged(1, text);
}
void EditIP::SlotTextChg_2(const QString& text) {
    octetChanged(2, text);
}
void EditIP::SlotTextChg_3(const QString& text) {
    octetChanged(3, text);
}
void EditIP::SlotPressDot_0() {
    pressDot(0);
}
void EditIP::SlotPressDot_1() {
    pressDot(1);
}
void EditIP::SlotPressDot_2() {
    pressDot(2);
}
