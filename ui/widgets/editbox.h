#pragma once

#include "inputrules.h"

#include <QWidget>

class ColorButton;
class EditParam;
class KeyboardHost;
class QLabel;

// A titled number with -5, -1, +1 and +5 step buttons, kept inside its range.
class EditBox : public QWidget {
    Q_OBJECT
public:
    // kind 0 shows integers, kind 2 value / scale as a decimal number.
    // keyboardFlags of the field: 9 when the box sits directly on its screen,
    // 17 when it sits in one more container.
    EditBox(KeyboardHost& keys, int minimum, int maximum, QWidget* parent = nullptr,
            const QString& title = QString(), const QString& unit = QString(), int kind = 0,
            int scale = 1, int keyboardFlags = 9);

    void setAllowZero(bool allow) { m_range.allowZero = allow; }
    bool allowZero() const { return m_range.allowZero; }
    const EditRange& range() const { return m_range; }
    EditParam* field() const { return m_field; }
    QLabel* titleLabel() const { return m_title; }
    // Step buttons in order: -5, -1, +1, +5.
    ColorButton* stepButton(int index) const { return m_steps[index]; }

signals:
    void valueChanged(int value);

public slots:
    void AddOne();
    void SubOne();
    void AddFive();
    void SubFive();
    int value() const { return m_value; }
    void setInputValue(int value) { m_value = value; }
    void setValue(int value);
    void setValue();
    void CheckRange();
    void setText(const QString& title);
    int getType() const { return m_kind; }
    void setSampleShow();
    void setLabelColor(const QColor& color);

private:
    void step(int delta);
    void fitTitle();

    EditRange m_range;
    int m_value = 0;
    int m_kind;
    int m_scale;
    int m_titleSize;  // the title's pixel size when it fits
    QLabel* m_title;
    ColorButton* m_steps[4];
    EditParam* m_field;
};
