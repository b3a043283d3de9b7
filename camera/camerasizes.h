#pragma once

#include <QSize>

// The working image size a family uses for a given sensor. optimise is
// 1 - prohibit_optimize; preset is the MindVision preset resolution.
QSize workingSize(int family, QSize sensor, bool optimise, QSize preset = {});

// Top-left offset of a working window centred on the sensor.
inline QSize centredOffset(QSize sensor, QSize working) {
    return {(sensor.width() - working.width()) / 2, (sensor.height() - working.height()) / 2};
}
