#include "keyboardhost.h"

#include "display.h"
#include "edit.h"
#include "inputrules.h"
#include "numberinput.h"
#include "numcharinput.h"

#include <QChildEvent>
#include <QEvent>
#include <QWidget>

KeyboardHost::KeyboardHost(QWidget* window) : QObject(window), m_window(window) {
    m_keypad = new NumberInput(*this, window);
    m_keyboard = new NumCharInput(*this, window);
    m_keypad->hide();
    m_keyboard->hide();
}

NumberInput* KeyboardHost::keypad() const {
    return m_keypad;
}

NumCharInput* KeyboardHost::keyboard() const {
    return m_keyboard;
}

Edit* KeyboardHost::currentEdit() const {
    return m_current;
}

void KeyboardHost::setCurrentEdit(Edit* edit) {
    m_current = edit;
}

void KeyboardHost::hideKeyboards() {
    if (m_keypad)
        m_keypad->hide();
    if (m_keyboard)
        m_keyboard->hide();
}

bool KeyboardHost::passwordBoxShown() const {
    return m_passwordBox && m_passwordBox->isVisible();
}

void KeyboardHost::openKeyboardFor(Edit& edit) {
    QWidget* board = nullptr;
    if (edit.keyboardFlags() & Edit::kFullKeyboard) {
        board = m_keyboard;
    } else {
        board = m_keypad;
        if (m_keypad)
            m_keypad->eraseAll();
    }
    if (!board)
        return;

    QWidget* host = edit.parentWidget();
    if (host && (edit.keyboardFlags() & Edit::kInContainer))
        host = host->parentWidget();
    else if (host && (edit.keyboardFlags() & Edit::kInTwoContainers))
        host = host->parentWidget() ? host->parentWidget()->parentWidget() : nullptr;
    if (!host)
        host = edit.window();

    const QPoint pos = edit.mapTo(host, QPoint(0, 0));
    const QPoint at =
        placeKeyboard({pos, edit.height(), board->size(), host->size(), displaySize().height});
    if (board->parentWidget() != host)
        board->setParent(host);
    board->move(at);
    board->show();
    board->raise();
}

KeyboardHider::KeyboardHider(KeyboardHost& keys, QWidget* window)
    : QObject(window), m_keys(keys), m_window(window) {
    window->installEventFilter(this);
    for (QObject* child : window->children())
        if (child->isWidgetType())
            child->installEventFilter(this);
}

bool KeyboardHider::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            m_keys.hideKeyboards();
            break;
        case QEvent::MouseButtonRelease:
            if (watched == m_window)
                m_window->setFocus();
            break;
        case QEvent::ChildAdded:
            if (watched == m_window) {
                QObject* child = static_cast<QChildEvent*>(event)->child();
                if (child->isWidgetType())
                    child->installEventFilter(this);
            }
            break;
        default:
            break;
    }
    return false;
}
