#pragma once

#include <QWidget>
#include <array>

class Edit;
class KeyboardHost;
class QLabel;

// A captioned IP address entry of four octet fields.
class EditIP : public QWidget {
    Q_OBJECT
public:
    EditIP(KeyboardHost& keys, const QString& caption, QWidget* parent = nullptr);

    // "%1.%2.%3.%4" of the four fields read as integers.
    QString text() const;
    // Spreads an address over the fields; a fifth part lands in the last field.
    void setText(const QString& address);
    QString composedText() const { return m_composed; }
    Edit* octet(int i) const { return m_octets[i]; }

signals:
    void textchange(const QString& address);

public slots:
    void SlotTextChg_0(const QString& text);
    void SlotTextChg_1(const QString& text);
    void SlotTextChg_2(const QString& text);
    void SlotTextChg_3(const QString& text);
    void SlotPressDot_0();
    void SlotPressDot_1();
    void SlotPressDot_2();

private:
    void octetChanged(int i, const QString& text);
    void pressDot(int i);

    QLabel* m_caption;
    std::array<Edit*, 4> m_octets{};
    QString m_composed;
};
