#pragma once

class LedDevice;

// Status lamps and LCD backlight of the panel, driven through the lamp device.
class PanelLamps {
public:
    static constexpr unsigned long kScreenOn = 0x5A018B00;
    static constexpr unsigned long kScreenOff = 0x5A018A00;
    static constexpr unsigned long kLamps = 0x5A018000;

    explicit PanelLamps(LedDevice& led) : m_led(led) {}

    void screenOn();
    void screenOff();
    bool isScreenOff() const { return m_screenOff; }
    // Lamp b (0..7) to v (0/1): replaces bit b of the shadow and sends it.
    void setLamp(int b, int v);
    unsigned shadow() const { return m_shadow; }

private:
    LedDevice& m_led;
    unsigned m_shadow = 0xFF;
    bool m_screenOff = false;
};
