#include "passwordbox.h"

#include "boxes.h"
#include "colorbutton.h"
#include "display.h"
#include "edit.h"
#include "globals.h"
#include "keyboardhost.h"
#include "numberinput.h"
#include "platform.h"

#include <QMouseEvent>

namespace {
constexpr int kMsgConfirm = 121, kMsgCancel = 1246, kMsgPwd = 1247;
constexpr int kMsgEnterPassword = 1248, kMsgWrongPassword = 1249;
constexpr int kFailed = 2;

QSize passwordBoxSize() {
    return largeLayout() ? QSize(750, 370) : QSize(420, 240);
}
}  // namespace

PasswordBox::PasswordBox(KeyboardHost& keys, const SystemParams& params, Clock& clock,
                         AccessLevel* level, QWidget* parent)
    : QDialog(parent),
      m_keys(keys),
      m_params(params),
      m_clock(clock),
      m_level(level),
      m_field(new Edit(keys, 5, this)),
      m_confirm(new ColorButton(tx(kMsgConfirm), this, 3)),
      m_cancel(new ColorButton(tx(kMsgCancel), this, 3)) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint);
    setModal(true);
    setGeometry(boxGeometry(passwordBoxSize()));
    const bool large = largeLayout();
    m_field->setEchoMode(QLineEdit::Password);
    m_field->setFont(pixelFont(kTextFont, large ? 27 : 14));
    m_field->setGeometry(large ? QRect(245, 70, 350, 50) : QRect(140, 40, 160, 40));
    setPrompt(tx(kMsgEnterPassword));
    m_confirm->setGeometry(large ? QRect(100, 220, 220, 100) : QRect(30, 125, 140, 60));
    m_cancel->setGeometry(large ? QRect(430, 220, 220, 100) : QRect(240, 125, 140, 60));

    connect(m_confirm, &QPushButton::clicked, this, &PasswordBox::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_field, &QLineEdit::textChanged, this, &PasswordBox::SlotTextChanged);
    if (NumberInput* keypad = keys.keypad())
        connect(keypad, &NumberInput::chkpassword, this, [this] {
            if (isVisible())
                accept();
        });
}

void PasswordBox::accept() {
    const int level = passwordLevel(m_field->text(), m_params, m_clock.now(), serviceRule());
    if (level > 0) {
        setPrompt(tx(kMsgEnterPassword));
        m_failed = 0;
        grant(level);
        QDialog::accept();
        return;
    }
    grant(0);
    m_field->clear();  // before the marker, so the emptying does not use it up
    m_failed = kFailed;
    setPrompt(tx(kMsgWrongPassword));
}

void PasswordBox::grant(int level) {
    if (m_level)
        m_level->set(level);
}

void PasswordBox::SlotTextChanged(const QString& text) {
    if (!text.isEmpty()) {
        setPrompt(QString());
    } else if (m_failed == kFailed) {
        m_failed = 0;
        setPrompt(tx(kMsgWrongPassword));
    } else {
        setPrompt(tx(kMsgEnterPassword));
    }
}

void PasswordBox::showEvent(QShowEvent* e) {
    setGeometry(boxGeometry(passwordBoxSize()));
    m_field->clear();
    setPrompt(tx(kMsgEnterPassword));
    m_keys.setPasswordBox(this);
    QDialog::showEvent(e);
}

void PasswordBox::hideEvent(QHideEvent* e) {
    QDialog::hideEvent(e);
    m_field->clearFocus();
    m_keys.setCurrentEdit(nullptr);
    m_keys.setPasswordBox(nullptr);
    if (NumberInput* keypad = m_keys.keypad())
        keypad->HideUpdate();
}

void PasswordBox::paintEvent(QPaintEvent*) {
    const QRect caption = largeLayout() ? QRect(QPoint(145, 75), QPoint(344, 114))
                                        : QRect(QPoint(90, 40), QPoint(249, 79));
    paintBoxFace(*this, tx(kMsgPwd), Qt::yellow, caption, Qt::AlignLeft | Qt::AlignVCenter);
}

void PasswordBox::mousePressEvent(QMouseEvent* e) {
    // a tap beside the field and buttons confirms, as the keypad's confirm key does
    if (NumberInput* keypad = m_keys.keypad())
        keypad->HideUpdate();
    QDialog::mousePressEvent(e);
}

PasswordDialog::PasswordDialog(KeyboardHost& keys, const SystemParams& params, Clock& clock,
                               QWidget* parent)
    : PasswordBox(keys, params, clock, nullptr, parent) {}

void PasswordDialog::showEvent(QShowEvent* e) {
    m_granted = 0;
    PasswordBox::showEvent(e);
}

void PasswordBox::setPrompt(const QString& prompt) {
    const int size = largeLayout() ? 27 : 14;
    const QSize room = m_field->size() - QSize(10, 6);  // border and padding
    m_field->setFont(pixelFont(kTextFont, fittingPixelSize(kTextFont, size, prompt, room)));
    m_field->setPlaceholderText(prompt);
}
