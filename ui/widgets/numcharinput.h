#pragma once

#include "inputrules.h"

#include <QWidget>

class ColorButton;
class KeyboardHost;
class QButtonGroup;

// The full keyboard: 37 character keys on three pages (capitals, small
// letters, symbols), typing into `currentEdit`. It opens on capitals.
class NumCharInput : public QWidget {
    Q_OBJECT
public:
    explicit NumCharInput(KeyboardHost& keys, QWidget* parent = nullptr);

    KeyPage page() const { return m_page; }
    ColorButton* charKey(int id) const;  // 0..36
    ColorButton* toggleKey() const { return m_toggle; }
    ColorButton* caseKey() const { return m_case; }
    ColorButton* backspaceKey() const { return m_backspace; }
    ColorButton* confirmKey() const { return m_confirm; }
    // Every showing starts on the capitals page.
    void setVisible(bool visible) override;

public slots:
    void SlotChgChar_Punc();
    void setContent(int id);
    void eraseContent();
    void HideUpdate();
    void SlotCap();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void showPage(KeyPage page);

    KeyboardHost& m_keys;
    QButtonGroup* m_group;
    ColorButton* m_toggle;
    ColorButton* m_case;
    ColorButton* m_backspace;
    ColorButton* m_confirm;
    KeyPage m_page = KeyPage::Capitals;
};
