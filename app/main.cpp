#include "derawizard.h"
#include "mapplication.h"
#include "platform.h"
#include "startup.h"
#include "touchfilter.h"

#include <QDir>

int main(int argc, char** argv) {
    Platform platform = Platform::forThisMachine();
    MApplication app(argc, argv);
    Monitor monitor = bringUpMonitor(platform, QDir::currentPath(), argv[0]);
    monitor.window->showMaximized();
    return app.exec();
}
