#include "sharedboxes.h"

SharedBoxes::SharedBoxes(QWidget* window, KeyboardHost& keys, const SystemParams& params,
                         Clock& clock, AccessLevel& level)
    : warn(new WarnBox(window)),
      timing(new TimingWarnBox(window)),
      lostCamera(new LostCameraWarnBox(window)),
      reconnectCamera(new ReconnectCameraWarnBox(window)),
      lostCom(new LostComWarnBox(window)),
      choose(new ChooseBox(window)),
      password(new PasswordBox(keys, params, clock, &level, window)) {
    choose->setWindowFlag(Qt::WindowStaysOnTopHint);
    for (QWidget* box : std::initializer_list<QWidget*>{warn, timing, lostCamera, reconnectCamera,
                                                        lostCom, choose, password})
        box->hide();
}

void SharedBoxes::detach() {
    setScreenWake(nullptr);
    lostCom->setLinkLost({});
    lostCamera->setShutdown(nullptr);
    QObject::disconnect(timing, &TimingWarnBox::timedAlarmEnded, nullptr, nullptr);
}

void SharedBoxes::setScreenWake(ScreenWake* wake) {
    for (WarnBox* box :
         std::initializer_list<WarnBox*>{warn, timing, lostCamera, reconnectCamera, lostCom})
        box->setScreenWake(wake);
}
