#include "edit.h"

#include "display.h"
#include "editbox.h"
#include "globals.h"
#include "inputrules.h"
#include "keyboardhost.h"
#include "numberinput.h"
#include "numcharinput.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <algorithm>

namespace {
constexpr int kMsgEnterPassword = 1248;
constexpr int kRawEnter = 13;
}  // namespace

Edit::Edit(KeyboardHost& keys, int keyboardFlags, QWidget* parent)
    : QLineEdit(parent), m_keys(&keys), m_flags(keyboardFlags) {
    setFrame(false);
    setStyleSheet(QStringLiteral("QLineEdit{border-style:none;padding:1px;border-radius:5px;"
                                 "border:2px solid %1;}QLineEdit:focus{border:2px solid %2;}")
                      .arg(QStringLiteral("#DCE4EC"), QStringLiteral("#3498DB")));
}

void Edit::focusInEvent(QFocusEvent* e) {
    if (echoMode() == QLineEdit::Password) {
        // a password field gives the focus straight back but still takes the keypad
        clear();
        clearFocus();
        setPlaceholderText(tx(kMsgEnterPassword));
        if (m_keys)
            m_keys->setCurrentEdit(this);
        return;
    }
    if (m_keys)
        m_keys->setCurrentEdit(this);
    QLineEdit::focusInEvent(e);
}

void Edit::focusOutEvent(QFocusEvent* e) {
    if (m_keys) {
        m_keys->setCurrentEdit(nullptr);
        m_keys->hideKeyboards();
    }
    QLineEdit::focusOutEvent(e);
}

void Edit::mouseReleaseEvent(QMouseEvent* e) {
    if (m_keys && m_keys->currentEdit())
        m_keys->openKeyboardFor(*this);
    QLineEdit::mouseReleaseEvent(e);
}

void Edit::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Period || e->key() == kRawEnter)
        emit sig_Dot();
    if (e->key() == Qt::Key_Return && m_keys) {
        if (m_keys->keyboard() && m_keys->keyboard()->isVisible()) {
            m_keys->keyboard()->HideUpdate();
        } else if (m_keys->keypad() && m_keys->keypad()->isVisible()) {
            m_keys->keypad()->HideUpdate();
        } else {
            QMouseEvent release(QEvent::MouseButtonRelease, QPointF(0, 0),
                                mapToGlobal(QPointF(0, 0)), Qt::LeftButton, Qt::NoButton,
                                Qt::NoModifier);
            QCoreApplication::sendEvent(this, &release);
        }
    }
    QLineEdit::keyPressEvent(e);
}

EditParam::EditParam(KeyboardHost& keys, int keyboardFlags, const QString& unit, EditBox& owner)
    : Edit(keys, keyboardFlags, &owner), m_owner(owner) {
    setFocusPolicy(Qt::StrongFocus);
    setAlignment(Qt::AlignCenter);
    if (!unit.isEmpty()) {
        const bool large = largeLayout();
        const int size = large ? 27 : 10;
        m_unit = new QLabel(unit, this);
        m_unit->setFont(pixelFont(kTextFont, size));
        m_unit->setAlignment(Qt::AlignCenter);
        // room for full-width characters; Latin units take only what they need
        const int fullWidth = size * int(unit.size()) + 10;
        const int needed = QFontMetrics(m_unit->font()).horizontalAdvance(unit) + 4;
        m_unit->setFixedSize(std::min(fullWidth, needed), large ? 50 : 30);
        m_unit->setAttribute(Qt::WA_TransparentForMouseEvents);
        setTextMargins(0, 0, m_unit->width(), 0);
    }
    connect(this, &QLineEdit::textChanged, this, &EditParam::ChangeLabelP);
}

void EditParam::ChangeLabelP(const QString& text) {
    if (m_unit)
        m_unit->move(unitLabelX(width(), m_unit->width(), int(text.size())), 1);
}

void EditParam::focusOutEvent(QFocusEvent* e) {
    Edit::focusOutEvent(e);
    emit focusOut();
}

void EditParam::resizeEvent(QResizeEvent* e) {
    Edit::resizeEvent(e);
    ChangeLabelP(text());
}
