#pragma once

#include "keyboardhost.h"

#include <QLineEdit>
#include <QPointer>

class EditBox;
class QLabel;

// The line edit behind every typed value: it becomes `currentEdit` while it
// has the focus and opens its keyboard when touched.
class Edit : public QLineEdit {
    Q_OBJECT
public:
    // Keyboard flags (other bits carry no behaviour).
    static constexpr int kFullKeyboard = 2;      // full keyboard instead of the keypad
    static constexpr int kInContainer = 8;       // the field sits in one container widget
    static constexpr int kInTwoContainers = 16;  // ... in two container widgets

    Edit(KeyboardHost& keys, int keyboardFlags, QWidget* parent = nullptr);

    int keyboardFlags() const { return m_flags; }
    KeyboardHost* keys() const { return m_keys; }

signals:
    void sig_Dot();

protected:
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QPointer<KeyboardHost> m_keys;
    int m_flags;
};

// The text field of an EditBox, with an optional unit after the digits.
class EditParam : public Edit {
    Q_OBJECT
public:
    EditParam(KeyboardHost& keys, int keyboardFlags, const QString& unit, EditBox& owner);

    EditBox& owner() const { return m_owner; }
    QLabel* unitLabel() const { return m_unit; }

signals:
    void focusOut();

public slots:
    void ChangeLabelP(const QString& text);

protected:
    void focusOutEvent(QFocusEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    EditBox& m_owner;
    QLabel* m_unit = nullptr;
};
