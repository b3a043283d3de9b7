#pragma once

#include "texttable.h"

#include <QMutex>
#include <QString>
#include <array>

// Process-wide state shared by every subsystem. Written before the event loop
// starts (language only through a restart); read everywhere.

extern TextTable gText;
extern int language;  // 0 Simplified Chinese, 1 English, 2 Traditional Chinese

// Message m in the current language.
// A few messages exist in Simplified Chinese and English only; Traditional
// Chinese then shows the Simplified text rather than an empty box.
inline const QString& tx(int m) {
    const QString& t = gText[m][language];
    return (t.isEmpty() && language == 2) ? gText[m][0] : t;
}

extern QMutex gIoLock;                            // input and output words of the IO board
extern QMutex gSaveLock;                          // result-image save queue
extern std::array<QMutex, 8> gFrameLock;          // one per camera: frame buffer and ready flag
extern std::array<unsigned char, 8> gFrameReady;  // new frame in the camera's buffer

extern int cameraCount;   // cameras in use, 0..8
extern int cameraFamily;  // camera SDK family found at start; 0 = none
extern QString appDirPath;

// Fills gText from the built-in table; returns false when it is unusable.
bool loadTextTable(QString* error = nullptr);
