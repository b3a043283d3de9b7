#pragma once

#include "operatorprompt.h"

#include <QDialog>

class QLabel;
class QPushButton;

// Modal warning with one confirming button.
class WarnBox : public QDialog {
    Q_OBJECT
public:
    explicit WarnBox(QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const;

private:
    QLabel* m_text;
    QPushButton* m_ok;
};

// Modal yes/no question; exec() returns QDialog::Accepted for yes.
class ChooseBox : public QDialog {
    Q_OBJECT
public:
    explicit ChooseBox(QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const;

private:
    QLabel* m_text;
    QPushButton* m_yes;
    QPushButton* m_no;
};

// Asks through the shared boxes.
class BoxPrompt final : public OperatorPrompt {
public:
    BoxPrompt(WarnBox& warnBox, ChooseBox& chooseBox) : m_warn(warnBox), m_choose(chooseBox) {}
    void warn(const QString& text) override;
    bool ask(const QString& question) override;

private:
    WarnBox& m_warn;
    ChooseBox& m_choose;
};
