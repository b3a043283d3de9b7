#pragma once

#include "operatorprompt.h"

#include <QDialog>
#include <functional>

class Clock;
class ColorButton;
class CommandRunner;
class PanelLamps;
class QTimer;
struct SystemParams;

// Size of a box on the screen in the current layout.
QRect boxGeometry(QSize boxSize);
QSize messageBoxSize();
// Draws a box's face: background picture, the text in colour within textRect
// (shrunk until it fits, no wrapping) and a 5-pixel white frame.
void paintBoxFace(QWidget& box, const QString& text, const QColor& colour, const QRect& textRect,
                  int alignment = Qt::AlignCenter);

// Switches the backlight on when a box appears on a dark screen and restarts
// the screen saver with the "Scr Off" delay.
class ScreenWake {
public:
    ScreenWake(PanelLamps& lamps, QTimer& screenSaver, const SystemParams& params)
        : m_lamps(lamps), m_screenSaver(screenSaver), m_params(params) {}
    void wakeForBox();

private:
    PanelLamps& m_lamps;
    QTimer& m_screenSaver;
    const SystemParams& m_params;
};

// Modal warning with one confirming button.
class WarnBox : public QDialog {
    Q_OBJECT
public:
    explicit WarnBox(QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const { return m_text; }
    ColorButton* confirmButton() const { return m_confirm; }
    void setScreenWake(ScreenWake* wake) { m_wake = wake; }

public slots:
    // A warning is only ever acknowledged: closing it any other way accepts it too.
    void reject() override { QDialog::accept(); }

protected:
    WarnBox(const QString& caption, const QString& text, QWidget* parent);
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent*) override;

private:
    QString m_text;
    ColorButton* m_confirm;
    ScreenWake* m_wake = nullptr;
};

// The IO link is lost; closing the box while it is still lost brings it back.
class LostComWarnBox : public WarnBox {
    Q_OBJECT
public:
    explicit LostComWarnBox(QWidget* parent = nullptr);
    void setLinkLost(std::function<bool()> linkLost) { m_linkLost = std::move(linkLost); }

protected:
    void hideEvent(QHideEvent* e) override;

private:
    std::function<bool()> m_linkLost;
};

// A camera came back after a communication failure.
class ReconnectCameraWarnBox : public WarnBox {
    Q_OBJECT
public:
    explicit ReconnectCameraWarnBox(QWidget* parent = nullptr);
};

// Powers the machine off after a lost camera, if it is still lost.
class LostCameraShutdown {
public:
    LostCameraShutdown(CommandRunner& commands, Clock& clock, std::function<bool()> cameraLost,
                       std::function<void(const QString&)> record,
                       std::function<void()> closeDatabases);
    // True when it powered off.
    bool run();

private:
    CommandRunner& m_commands;
    Clock& m_clock;
    std::function<bool()> m_cameraLost;
    std::function<void(const QString&)> m_record;
    std::function<void()> m_closeDatabases;
};

// A camera is lost; its button shuts the machine down.
class LostCameraWarnBox : public WarnBox {
    Q_OBJECT
public:
    explicit LostCameraWarnBox(QWidget* parent = nullptr);
    void setShutdown(LostCameraShutdown* shutdown) { m_shutdown = shutdown; }

public slots:
    void acceptShutdown();

private:
    LostCameraShutdown* m_shutdown = nullptr;
};

// The timed alarm is due; hiding the box ends it.
class TimingWarnBox : public WarnBox {
    Q_OBJECT
public:
    explicit TimingWarnBox(QWidget* parent = nullptr);

signals:
    // The owner stores the time, clears the pending flag and switches outputs off.
    void timedAlarmEnded();

protected:
    void hideEvent(QHideEvent* e) override;
};

// Modal yes/no question; exec() returns QDialog::Accepted for yes.
class ChooseBox : public QDialog {
    Q_OBJECT
public:
    explicit ChooseBox(QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const { return m_text; }
    ColorButton* yesButton() const { return m_yes; }
    ColorButton* noButton() const { return m_no; }

protected:
    // Where and how the message is drawn; the time and calibration dialogs
    // built on this box place it differently.
    virtual QRect messageRect() const;
    virtual int messageAlignment() const { return Qt::AlignCenter; }
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent*) override;

private:
    QString m_text;
    ColorButton* m_yes;
    ColorButton* m_no;
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
