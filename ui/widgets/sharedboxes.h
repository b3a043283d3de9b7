#pragma once

#include "boxes.h"
#include "passwordbox.h"

// The boxes every screen shares, one of each, created hidden as children of
// the main window.
struct SharedBoxes {
    SharedBoxes(QWidget* window, KeyboardHost& keys, const SystemParams& params, Clock& clock,
                AccessLevel& level);

    WarnBox* warn;
    TimingWarnBox* timing;
    LostCameraWarnBox* lostCamera;
    ReconnectCameraWarnBox* reconnectCamera;
    LostComWarnBox* lostCom;
    ChooseBox* choose;
    PasswordBox* password;

    // Every warning kind wakes a dark screen through wake.
    void setScreenWake(ScreenWake* wake);
    // Cuts the boxes loose from the window's state before the window goes:
    // no screen wake, link query, shutdown or timed-alarm end any more.
    void detach();
};
