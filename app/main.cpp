#include "derawizard.h"
#include "globals.h"
#include "logs.h"
#include "mapplication.h"
#include "pixmaps.h"
#include "platform.h"
#include "touchfilter.h"

#include <glog/logging.h>
#include <QDir>

int main(int argc, char** argv) {
    Platform platform = Platform::forThisMachine();
    MApplication app(argc, argv);

    QDir().mkpath(QStringLiteral("./cnt_net/cnt_log_app/"));
    initDiagnosticLog(argv[0], QStringLiteral("./cnt_net/cnt_log_app/"));
    LOG(INFO) << "2.5.0"
              << " release";
    if (!platform.isPanel())
        LOG(INFO) << "no panel hardware: commands are recorded, not run";

    for (auto& ready : gFrameReady)
        ready = 0;
    QString error;
    if (!loadTextTable(&error))
        LOG(ERROR) << "text table: " << error.toStdString();
    gPixmaps().load(QStringLiteral("./images"));
    // the working directory is the install directory
    appDirPath = QDir::currentPath();

    DeRaWizard window(platform, QDir::currentPath());
    TouchFilter touch(window);
    app.installEventFilter(&touch);
    window.showMaximized();
    return app.exec();
}
