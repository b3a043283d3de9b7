#pragma once

#include <QObject>
#include <QPointer>

class Edit;
class NumberInput;
class NumCharInput;
class QWidget;

// The two on-screen keyboards of the main window and the field they type into
// (`currentEdit`). The main window owns one; every typed field is given it.
class KeyboardHost : public QObject {
    Q_OBJECT
public:
    // Creates the numeric keypad and the full keyboard as hidden children of window.
    explicit KeyboardHost(QWidget* window);

    QWidget* window() const { return m_window; }
    NumberInput* keypad() const;
    NumCharInput* keyboard() const;

    Edit* currentEdit() const;
    void setCurrentEdit(Edit* edit);

    void hideKeyboards();
    // Opens the field's keyboard under (or above) it, inside the field's host.
    void openKeyboardFor(Edit& edit);

    // While this box is on screen the keypad's confirm submits the password.
    void setPasswordBox(QWidget* box) { m_passwordBox = box; }
    bool passwordBoxShown() const;

private:
    QPointer<QWidget> m_window;
    QPointer<NumberInput> m_keypad;
    QPointer<NumCharInput> m_keyboard;
    QPointer<Edit> m_current;
    QPointer<QWidget> m_passwordBox;
};

// Filter of the main window's children: every mouse press hides both
// keyboards and goes on; a release on the window itself gives it the focus.
// Watches the window and each of its children, present and future.
class KeyboardHider : public QObject {
    Q_OBJECT
public:
    KeyboardHider(KeyboardHost& keys, QWidget* window);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyboardHost& m_keys;
    QPointer<QWidget> m_window;
};
