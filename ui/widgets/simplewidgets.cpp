#include "simplewidgets.h"

#include "display.h"

#include <QListView>
#include <QMouseEvent>

CheckBox::CheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
    const bool large = largeLayout();
    setFont(pixelFont(kTextFont, large ? 28 : 14));
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Qt::yellow);
    setPalette(pal);
    const int indicator = large ? 32 : 16;
    setStyleSheet(QStringLiteral("QCheckBox{color: yellow;} QCheckBox::indicator {width: %1px; "
                                 "height: %2px;} QCheckBox::indicator:checked {border-image: "
                                 "url(images/check.png);}")
                      .arg(indicator)
                      .arg(indicator));
}

Label::Label(QWidget* parent) : QLabel(parent) {}

void Label::setPicture(const QPixmap& picture) {
    m_picture = picture;
    setPixmap(m_picture.isNull() ? QPixmap() : m_picture.scaled(size()));
}

void Label::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        emit clicked();
    QLabel::mousePressEvent(e);
}

void Label::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    if (!m_picture.isNull())
        setPixmap(m_picture.scaled(size()));
}

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    setFocusPolicy(Qt::NoFocus);
    setView(new QListView(this));
    installEventFilter(this);
}

bool ComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::MouseButtonPress)
        emit clicked();
    return QComboBox::eventFilter(watched, event);
}

QString ComboBox::itemStyle(int itemHeight) {
    return QStringLiteral(
               "QComboBox QAbstractItemView::item{height:%1px;}"
               "QComboBox::tab-bar{border-width:0px;}")
        .arg(itemHeight);
}
