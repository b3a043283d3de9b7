#include "camerasizes.h"

#include "cameradriver.h"

QSize workingSize(int family, QSize sensor, bool optimise, QSize preset) {
    const int w = sensor.width();
    switch (family) {
        case kFamilyGalaxy:
            if (w == 2592)
                return {1296, sensor.height() / 2};
            if (optimise && w == 1280)
                return {1120, 840};
            if (optimise && w == 2048)
                return {1600, 1200};
            return sensor;
        case kFamilyMind:
            if (!optimise)
                return sensor;
            switch (w) {
                case 1280:
                    return {1120, 840};
                case 2048:
                    return {1600, 1200};
                case 2592:
                    return preset.isValid() ? preset : sensor;
                case 3088:
                    return {2592, 1944};
                case 1600:
                    return {1300, 1000};
                default:
                    return sensor;
            }
        case kFamilyUEye:
            return {1280, 1024};
        case kFamilyHik:
            return sensor;  // the caller passes the current Width x Height
        case kFamilyV4l2:
            return {960, 540};
        default:
            return {1920, 1080};
    }
}
