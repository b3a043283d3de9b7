#include "boxes.h"

#include "colorbutton.h"
#include "display.h"
#include "globals.h"
#include "panellamps.h"
#include "pixmaps.h"
#include "platform.h"
#include "systemparams.h"

#include <QPainter>
#include <QTimer>

namespace {
// Captions of the box buttons: "Confirm", "YES", "NO", "Shut Down".
constexpr int kMsgConfirm = 121, kMsgYes = 1244, kMsgNo = 1245, kMsgShutDown = 1239;
// The camera messages exist in zh-CN and en only (tx() falls back for zh-TW).
constexpr int kMsgCameraReconnect = 1237, kMsgCameraLost = 1238;
constexpr int kBackgroundPicture = 10;
constexpr int kFrameWidth = 5;

const QString kTimingAlarmText = QStringLiteral("定时报警时间到");
const QString kShutdownRecord = QStringLiteral("因丢失相机手动关闭电源");

void prepareBox(QDialog& box) {
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint);
    box.setModal(true);
    box.setGeometry(boxGeometry(messageBoxSize()));
}

QRect buttonRect(bool large, QRect largeRect, QRect smallRect) {
    return large ? largeRect : smallRect;
}
}  // namespace

QSize messageBoxSize() {
    return largeLayout() ? QSize(750, 370) : QSize(420, 180);
}

QRect boxGeometry(QSize boxSize) {
    const DisplaySize& d = displaySize();
    return QRect(QPoint((d.width - boxSize.width()) / 2, (d.height - boxSize.height()) / 2),
                 boxSize);
}

void paintBoxFace(QWidget& box, const QString& text, const QColor& colour, const QRect& textRect,
                  int alignment) {
    QPainter p(&box);
    const QPixmap& back = gPixmaps().numbered[kBackgroundPicture];
    if (back.isNull())
        p.fillRect(box.rect(), QColor(0x26, 0x32, 0x3d));
    else
        p.drawPixmap(box.rect(), back);

    // a message wider than its room is drawn smaller rather than cut off
    p.setFont(pixelFont(kTextFont, fittingPixelSize(kTextFont, largeLayout() ? 40 : 20, text,
                                                    textRect.size(), 10)));
    p.setPen(colour);
    p.drawText(textRect, alignment, text);

    QPen frame(Qt::white);
    frame.setWidth(kFrameWidth);
    frame.setJoinStyle(Qt::MiterJoin);
    p.setPen(frame);
    p.setBrush(Qt::NoBrush);
    p.drawRect(box.rect().adjusted(kFrameWidth / 2, kFrameWidth / 2, -kFrameWidth / 2 - 1,
                                   -kFrameWidth / 2 - 1));
}

void ScreenWake::wakeForBox() {
    if (!m_lamps.isScreenOff())
        return;
    m_lamps.screenOn();
    if (m_params.location_level > 0)
        m_screenSaver.start(m_params.location_level * 1000);
}

WarnBox::WarnBox(QWidget* parent) : WarnBox(tx(kMsgConfirm), QString(), parent) {}

WarnBox::WarnBox(const QString& caption, const QString& text, QWidget* parent)
    : QDialog(parent), m_text(text), m_confirm(new ColorButton(caption, this, 3)) {
    prepareBox(*this);
    m_confirm->setGeometry(
        buttonRect(largeLayout(), QRect(265, 220, 220, 100), QRect(140, 105, 140, 60)));
    connect(m_confirm, &QPushButton::clicked, this, &QDialog::accept);
}

void WarnBox::setText(const QString& text) {
    m_text = text;
    update();
}

void WarnBox::showEvent(QShowEvent* e) {
    setGeometry(boxGeometry(messageBoxSize()));
    if (m_wake)
        m_wake->wakeForBox();
    QDialog::showEvent(e);
}

void WarnBox::paintEvent(QPaintEvent*) {
    const QRect r(QPoint(0, 5), QPoint(width() - 1, height() / 2 + 4));
    paintBoxFace(*this, m_text, Qt::red, r);
}

LostComWarnBox::LostComWarnBox(QWidget* parent) : WarnBox(tx(kMsgConfirm), QString(), parent) {}

void LostComWarnBox::hideEvent(QHideEvent* e) {
    WarnBox::hideEvent(e);
    if (m_linkLost && m_linkLost())
        QTimer::singleShot(0, this, [this] {
            if (m_linkLost && m_linkLost())
                show();
        });
}

ReconnectCameraWarnBox::ReconnectCameraWarnBox(QWidget* parent)
    : WarnBox(tx(kMsgConfirm), tx(kMsgCameraReconnect), parent) {}

LostCameraShutdown::LostCameraShutdown(CommandRunner& commands, Clock& clock,
                                       std::function<bool()> cameraLost,
                                       std::function<void(const QString&)> record,
                                       std::function<void()> closeDatabases)
    : m_commands(commands),
      m_clock(clock),
      m_cameraLost(std::move(cameraLost)),
      m_record(std::move(record)),
      m_closeDatabases(std::move(closeDatabases)) {}

bool LostCameraShutdown::run() {
    if (!m_cameraLost || !m_cameraLost())
        return false;
    if (m_record)
        m_record(kShutdownRecord);
    m_clock.sleepMs(1000);
    if (m_closeDatabases)
        m_closeDatabases();  // closes the databases and waits 0.5 s
    m_clock.sleepMs(1000);
    m_commands.run(QStringLiteral("init 0"));
    return true;
}

LostCameraWarnBox::LostCameraWarnBox(QWidget* parent)
    : WarnBox(tx(kMsgShutDown), tx(kMsgCameraLost), parent) {
    disconnect(confirmButton(), &QPushButton::clicked, this, &QDialog::accept);
    connect(confirmButton(), &QPushButton::clicked, this, &LostCameraWarnBox::acceptShutdown);
}

void LostCameraWarnBox::acceptShutdown() {
    if (m_shutdown)
        m_shutdown->run();
    accept();
}

TimingWarnBox::TimingWarnBox(QWidget* parent)
    : WarnBox(tx(kMsgConfirm), kTimingAlarmText, parent) {}

void TimingWarnBox::hideEvent(QHideEvent* e) {
    WarnBox::hideEvent(e);
    emit timedAlarmEnded();
}

ChooseBox::ChooseBox(QWidget* parent)
    : QDialog(parent),
      m_yes(new ColorButton(tx(kMsgYes), this, 3)),
      m_no(new ColorButton(tx(kMsgNo), this, 3)) {
    prepareBox(*this);
    const bool large = largeLayout();
    m_yes->setGeometry(buttonRect(large, QRect(100, 220, 220, 100), QRect(30, 105, 140, 60)));
    m_no->setGeometry(buttonRect(large, QRect(430, 220, 220, 100), QRect(240, 105, 140, 60)));
    connect(m_yes, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_no, &QPushButton::clicked, this, &QDialog::reject);
}

void ChooseBox::setText(const QString& text) {
    m_text = text;
    update();
}

void ChooseBox::showEvent(QShowEvent* e) {
    setGeometry(boxGeometry(messageBoxSize()));
    QDialog::showEvent(e);
}

QRect ChooseBox::messageRect() const {
    return QRect(QPoint(0, 0), QPoint(width() - 1, height() / 2 - 1));
}

void ChooseBox::paintEvent(QPaintEvent*) {
    paintBoxFace(*this, m_text, Qt::red, messageRect(), messageAlignment());
}

void BoxPrompt::warn(const QString& text) {
    m_warn.setText(text);
    m_warn.exec();
}

bool BoxPrompt::ask(const QString& question) {
    m_choose.setText(question);
    return m_choose.exec() == QDialog::Accepted;
}
