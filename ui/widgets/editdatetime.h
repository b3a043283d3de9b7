#pragma once

#include <QDateTime>
#include <QWidget>

class QDateEdit;
class QLabel;
class QTimeEdit;

// A captioned date and time entry with arrow steppers.
class EditDateTime : public QWidget {
    Q_OBJECT
public:
    explicit EditDateTime(const QString& caption, QWidget* parent = nullptr,
                          const QDateTime& now = QDateTime::currentDateTime());

    // Sets both editors to now.
    void refresh(const QDateTime& now = QDateTime::currentDateTime());
    QDateEdit* dateEdit() const { return m_date; }
    QTimeEdit* timeEdit() const { return m_time; }
    QDateTime takenAt() const { return m_taken; }

private:
    QLabel* m_caption;
    QDateEdit* m_date;
    QTimeEdit* m_time;
    QDateTime m_taken;
};
