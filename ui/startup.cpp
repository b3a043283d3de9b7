#include "startup.h"

#include "derawizard.h"
#include "globals.h"
#include "logs.h"
#include "pixmaps.h"
#include "platform.h"
#include "touchfilter.h"

#include <glog/logging.h>
#include <QCoreApplication>
#include <QDir>

Monitor bringUpMonitor(Platform& platform, const QString& workDir, const char* programName,
                       OperatorPrompt* prompt) {
    const QString logDir = workDir + QStringLiteral("/cnt_net/cnt_log_app/");
    QDir().mkpath(logDir);
    initDiagnosticLog(programName, logDir);
    LOG(INFO) << "2.5.0"
              << " release";
    if (!Platform::isPanel())
        LOG(INFO) << "no panel hardware: commands are recorded, not run";

    for (auto& ready : gFrameReady)
        ready = 0;
    QString error;
    if (!loadTextTable(&error))
        LOG(ERROR) << "text table: " << error.toStdString();
    gPixmaps().load(workDir + QStringLiteral("/images"));
    // the working directory is the install directory
    appDirPath = workDir;

    Monitor m;
    m.window = std::make_unique<DeRaWizard>(platform, workDir, prompt);
    m.touch = std::make_unique<TouchFilter>(*m.window);
    QCoreApplication::instance()->installEventFilter(m.touch.get());
    return m;
}
