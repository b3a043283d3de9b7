#pragma once

#include <QAbstractSlider>
#include <QRect>

class ColorButton;
class Edit;
class KeyboardHost;

// A painted horizontal slider with its value box and +1/-1 buttons; a touch
// on the value box opens the keypad.
class Slider : public QAbstractSlider {
    Q_OBJECT
public:
    Slider(KeyboardHost& keys, int minimum, int maximum, int pageStep, int value,
           QWidget* parent = nullptr, const QString& caption = QString());

    // Reuse for another region.
    void reconfigure(int minimum, int maximum, int pageStep, int value, const QString& caption);

    ColorButton* addButton() const { return m_add; }
    ColorButton* subButton() const { return m_sub; }
    Edit* hiddenField() const { return m_field; }
    QRect valueBox() const;
    QRect handleRect() const { return m_handle; }
    int usableTrack() const { return m_usable; }

public slots:
    void Add();
    void Sub();
    void SetText(const QString& text);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    ColorButton* m_add;
    ColorButton* m_sub;
    Edit* m_field;
    int m_track = 0;   // track length
    int m_inset = 0;   // track inset
    int m_usable = 0;  // usable track length
    QRect m_handle;
    QPoint m_drag{-1, -1};
};
