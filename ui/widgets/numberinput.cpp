#include "numberinput.h"

#include "colorbutton.h"
#include "display.h"
#include "edit.h"
#include "editbox.h"
#include "globals.h"
#include "inputrules.h"
#include "keyboardhost.h"

#include <QButtonGroup>
#include <QPainter>

namespace {
constexpr int kMsgConfirm = 121, kMsgBackspace = 1254;

// The digit a key id types: ids 0..8 are "1".."9", 9 is "0".
int digitOf(int id) {
    return id == 9 ? 0 : id + 1;
}
}  // namespace

void paintKeyboardFace(QWidget& board) {
    QPainter p(&board);
    p.fillRect(board.rect(), QColor(255, 251, 240, 200));
    p.setPen(QColor(QStringLiteral("#191532")));
    p.drawRect(board.rect().adjusted(0, 0, -1, -1));
}

NumberInput::NumberInput(KeyboardHost& keys, QWidget* parent)
    : QWidget(parent), m_keys(keys), m_group(new QButtonGroup(this)) {
    setFocusPolicy(Qt::NoFocus);
    const bool large = largeLayout();
    setFixedSize(large ? QSize(426, 229) : QSize(344, 154));
    const QSize key = large ? QSize(100, 70) : QSize(80, 45);
    const int xs[] = {5, large ? 110 : 91, large ? 215 : 177, large ? 320 : 263};
    const int ys[] = {5, large ? 80 : 56, large ? 155 : 107};

    const QString captions[] = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"),
                                QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9"),
                                QStringLiteral("0")};
    for (int id = 0; id < 10; ++id) {
        auto* b = new ColorButton(captions[id], this, 3);
        b->setGeometry(QRect(QPoint(xs[id % 4], ys[id / 4]), key));
        m_group->addButton(b, id);
    }
    m_backspace = new ColorButton(tx(kMsgBackspace), this, 3);
    m_backspace->setGeometry(QRect(QPoint(xs[2], ys[2]), key));
    m_confirm = new ColorButton(tx(kMsgConfirm), this, 3);
    m_confirm->setGeometry(QRect(QPoint(xs[3], ys[2]), key));

    connect(m_group, &QButtonGroup::idClicked, this, &NumberInput::setContent);
    connect(m_backspace, &QPushButton::clicked, this, &NumberInput::eraseContent);
    connect(m_confirm, &QPushButton::clicked, this, &NumberInput::HideUpdate);
}

ColorButton* NumberInput::digitKey(int id) const {
    return static_cast<ColorButton*>(m_group->button(id));
}

void NumberInput::setContent(int id) {
    Edit* edit = m_keys.currentEdit();
    if (!edit || id < 0 || id > 9)
        return;
    const int digit = digitOf(id);
    if (auto* param = qobject_cast<EditParam*>(edit)) {
        EditBox& box = param->owner();
        box.setValue(static_cast<int>(typedValue(box.value(), m_fresh, digit)));
        m_fresh = false;
    } else if (m_fresh) {
        m_fresh = false;
        edit->setText(QString::number(digit));
    } else {
        edit->setText(edit->text() + QString::number(digit));
    }
    edit->setCursorPosition(int(edit->text().size()));
}

void NumberInput::eraseContent() {
    Edit* edit = m_keys.currentEdit();
    if (!edit)
        return;
    QString t = edit->text();
    t.chop(1);
    edit->setText(t);
    edit->setCursorPosition(int(t.size()));
    if (t.isEmpty())
        m_fresh = true;
}

void NumberInput::eraseAll() {
    if (Edit* edit = m_keys.currentEdit())
        edit->clear();
    m_fresh = true;
}

void NumberInput::HideUpdate() {
    if (isVisible()) {
        hide();
        if (QWidget* w = m_keys.window())
            w->update();
    }
    if (m_keys.passwordBoxShown()) {
        emit chkpassword();
    } else if (Edit* edit = m_keys.currentEdit()) {
        edit->clearFocus();
    }
}

void NumberInput::paintEvent(QPaintEvent*) {
    paintKeyboardFace(*this);
}
