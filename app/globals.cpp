#include "globals.h"

TextTable gText;
int language = 0;

QMutex gIoLock;
QMutex gSaveLock;
std::array<QMutex, 8> gFrameLock;
std::array<unsigned char, 8> gFrameReady{};

int cameraCount = 0;
int cameraFamily = 0;
QString appDirPath;

bool loadTextTable(QString* error) {
    Q_INIT_RESOURCE(texts);  // the table lives in this static library
    return gText.loadBuiltIn(error);
}
