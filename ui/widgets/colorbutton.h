#pragma once

#include <QPixmap>
#include <QPushButton>

// A push button that paints itself: the shared button picture with a white
// caption, or only its own picture.
class ColorButton : public QPushButton {
    Q_OBJECT
public:
    // sizeClass 3 (normal) or 4 (large) chooses the caption size.
    explicit ColorButton(const QString& caption, QWidget* parent = nullptr, int sizeClass = 3);
    explicit ColorButton(const QPixmap& picture, QWidget* parent = nullptr);

    int sizeClass() const { return m_sizeClass; }
    bool ownPicture() const { return m_ownPicture; }
    // Step buttons repeat while held: after 300 ms, every 50 ms.
    void setStepRepeat();
    // The caption's pixel size as painted: the layout's size, reduced until the
    // caption fits the button.
    int captionPixelSize() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int m_sizeClass = 3;
    bool m_ownPicture = false;
    QPixmap m_picture;
};
