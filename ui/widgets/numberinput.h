#pragma once

#include <QWidget>

class ColorButton;
class KeyboardHost;
class QButtonGroup;

// The numeric keypad: ten digits, backspace and confirm, typing into `currentEdit`.
class NumberInput : public QWidget {
    Q_OBJECT
public:
    explicit NumberInput(KeyboardHost& keys, QWidget* parent = nullptr);

    bool fresh() const { return m_fresh; }
    // Digit key by its group id: "1".."9" are 0..8, "0" is 9.
    ColorButton* digitKey(int id) const;
    ColorButton* backspaceKey() const { return m_backspace; }
    ColorButton* confirmKey() const { return m_confirm; }

signals:
    void chkpassword();

public slots:
    void setContent(int id);
    void eraseContent();
    void eraseAll();
    void HideUpdate();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    KeyboardHost& m_keys;
    QButtonGroup* m_group;
    ColorButton* m_backspace;
    ColorButton* m_confirm;
    bool m_fresh = true;
};

// Paints a keyboard's translucent face and frame.
void paintKeyboardFace(QWidget& board);
