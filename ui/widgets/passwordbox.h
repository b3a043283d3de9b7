#pragma once

#include "access.h"

#include <QDialog>

class Clock;
class ColorButton;
class Edit;
class KeyboardHost;
struct SystemParams;

// Modal password entry on the numeric keypad; a right password sets the main
// window's access level, a wrong one keeps the box open.
class PasswordBox : public QDialog {
    Q_OBJECT
public:
    // level may be null for the dialog form, which keeps its own grant.
    PasswordBox(KeyboardHost& keys, const SystemParams& params, Clock& clock, AccessLevel* level,
                QWidget* parent = nullptr);

    Edit* field() const { return m_field; }
    ColorButton* confirmButton() const { return m_confirm; }
    ColorButton* cancelButton() const { return m_cancel; }
    int failedMarker() const { return m_failed; }

public slots:
    void accept() override;
    void SlotTextChanged(const QString& text);

protected:
    virtual ServiceRule serviceRule() const { return ServiceRule::FixedUnlessProtected; }
    virtual void grant(int level);
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    // Sets the prompt in the field, drawn smaller when it is longer than the field.
    void setPrompt(const QString& prompt);

    KeyboardHost& m_keys;
    const SystemParams& m_params;
    Clock& m_clock;
    AccessLevel* m_level;
    Edit* m_field;
    ColorButton* m_confirm;
    ColorButton* m_cancel;
    int m_failed = 0;  // 2 after a wrong password
};

// The password check of one protected action: only the time-dependent service
// code or the user password; the grant stays in the dialog.
class PasswordDialog : public PasswordBox {
    Q_OBJECT
public:
    PasswordDialog(KeyboardHost& keys, const SystemParams& params, Clock& clock,
                   QWidget* parent = nullptr);
    int granted() const { return m_granted; }

protected:
    ServiceRule serviceRule() const override { return ServiceRule::TimedCodeOnly; }
    void grant(int level) override { m_granted = level; }
    void showEvent(QShowEvent* e) override;

private:
    int m_granted = 0;
};
