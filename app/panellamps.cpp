#include "panellamps.h"

#include "platform.h"

void PanelLamps::screenOn() {
    if (m_led.isOpen())
        m_led.request(kScreenOn);
    m_screenOff = false;
}

void PanelLamps::screenOff() {
    if (m_led.isOpen())
        m_led.request(kScreenOff);
    m_screenOff = true;
}

void PanelLamps::setLamp(int b, int v) {
    if (b < 0 || b > 7)
        return;
    m_shadow = (m_shadow & ~(1u << b)) | ((v ? 1u : 0u) << b);
    if (m_led.isOpen())
        m_led.request(kLamps | m_shadow);
}
