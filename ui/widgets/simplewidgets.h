#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

// A check box with yellow text and a large indicator.
class CheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit CheckBox(const QString& text = QString(), QWidget* parent = nullptr);
    // True only for the fully checked state.
    bool isCheckedFully() const { return checkState() == Qt::Checked; }
    void setCheckedState(bool on) { setCheckState(on ? Qt::Checked : Qt::Unchecked); }
};

// A picture scaled to the label's size that reports left-button presses.
class Label : public QLabel {
    Q_OBJECT
public:
    explicit Label(QWidget* parent = nullptr);
    void setPicture(const QPixmap& picture);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QPixmap m_picture;
};

// A combo box that takes no keyboard focus, pops up a list view and reports
// every press.
class ComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ComboBox(QWidget* parent = nullptr);
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The style every screen gives its combo boxes, with its item height.
    static QString itemStyle(int itemHeight = 50);

signals:
    void clicked();
};
